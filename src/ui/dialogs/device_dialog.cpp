#include "ui/dialogs/device_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <algorithm>

#include "ui/dialogs/field_reading.h"
#include "ui/dialogs/route_matrix.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

constexpr int maxBlocks = 128;
constexpr int maxRows = 32;

std::optional<int64_t> readField(const QLineEdit& field) {
    return readInteger(field.text().toStdString());
}

}  // namespace

const QStringList& DeviceDialog::modes() {
    static const QStringList list = {QStringLiteral("Low"), QStringLiteral("Stable"),
                                     QStringLiteral("Safe"), QStringLiteral("Custom")};
    return list;
}

DeviceDialog::DeviceDialog(std::vector<Device> devices, Profile profile, bool editing)
    : PanelDialog(localized(editing ? "new_device.edit_title" : "new_device.title"), {1040, 760}),
      deviceBox(new MenuButton(root)),
      modeBox(new MenuButton(root)),
      custom(Theme::field(QStringLiteral("6"), root)),
      customLabel(Theme::label(localized("new_device.client_latency_blocks"), 13,
                               Theme::secondary(), false, root)),
      up(new ActionButton(QStringLiteral("\u25B2"), std::nullopt, {}, root)),
      down(new ActionButton(QStringLiteral("\u25BC"), std::nullopt, {}, root)),
      inputs(new RouteMatrix(true, root)),
      outputs(new RouteMatrix(false, root)),
      scroll(new QScrollArea(root)),
      inputTab(new ActionButton(QString(), std::nullopt, {}, root)),
      outputTab(new ActionButton(QString(), std::nullopt, {}, root)),
      reset(new ActionButton(QString(), std::nullopt, {}, root)),
      profile_(std::move(profile)),
      available_(std::move(devices)),
      editing_(editing) {
    label(localized(editing_ ? "new_device.edit_subtitle" : "new_device.subtitle"), 24, 22);
    placeChoosers();
    placeLatency();
    placeRoutes();
    save->setTitle(localized(editing_ ? "dialog.save" : "new_device.add"));
    save->setHandler([this] { commit(); });
    updateDevice();
    updateMode();
    chooseInitialTab();
    setFieldOrder(
        {deviceBox, modeBox, custom, up, down, inputTab, outputTab, inputs, outputs, reset});
}

void DeviceDialog::placeChoosers() {
    label(localized("new_device.asio_device"), 24, 54)->setBuddy(deviceBox);
    deviceBox->setGeometry(24, 78, 992, 30);
    QStringList names;
    for (const Device& device : available_)
        names << qtext(device.name);
    deviceBox->setChoices(names);
    const auto match = std::find_if(available_.begin(), available_.end(),
                                    [&](const Device& d) { return d.uid == profile_.device; });
    deviceBox->setSelected(
        match == available_.end() ? 0 : static_cast<int>(match - available_.begin()));
    deviceBox->setEnabled(!editing_);
    deviceBox->setChanged([this](int) {
        // Routes name channels of one hardware device; they mean nothing on another.
        inputs->setRoutes({});
        outputs->setRoutes({});
        updateDevice();
    });

    label(localized("new_device.latency_mode"), 24, 124)->setBuddy(modeBox);
    modeBox->setGeometry(24, 148, 140, 30);
    modeBox->setChoices(modes());
    int mode = modes().indexOf(editing_ ? QStringLiteral("Custom") : QStringLiteral("Stable"));
    if (profile_.latencyMode) {
        mode = modes().indexOf(qtext(*profile_.latencyMode));
        if (mode < 0) mode = customMode;
    }
    modeBox->setSelected(mode);
    modeBox->setChanged([this](int) { updateMode(); });
}

void DeviceDialog::placeLatency() {
    customLabel->setGeometry(204, 124, 250, 20);
    customLabel->setBuddy(custom);
    up->setAccessibleName(localized("new_device.more_blocks"));
    down->setAccessibleName(localized("new_device.fewer_blocks"));
    custom->setText(qtext(profile_.latency));
    custom->setGeometry(204, 148, 94, 30);
    up->setGeometry(302, 148, 20, 15);
    down->setGeometry(302, 163, 20, 15);
    up->setHandler([this] { step(1); });
    down->setHandler([this] { step(-1); });
}

void DeviceDialog::step(int delta) {
    // A field that does not read as a number counts as 1. Clamping before the step keeps the
    // arithmetic inside 64 bits for any number typed.
    const int64_t value = readField(*custom).value_or(1);
    const int64_t next =
        delta > 0 ? std::min<int64_t>(value, maxBlocks - 1) + 1 : std::max<int64_t>(value, 2) - 1;
    custom->setText(QString::number(next));
}

void DeviceDialog::placeRoutes() {
    inputTab->setTab(true);
    outputTab->setTab(true);
    inputTab->setTitle(localized("new_device.inputs"));
    inputTab->setGeometry(24, 194, 98, 30);
    inputTab->setHandler([this] { showTab(true); });
    outputTab->setTitle(localized("new_device.outputs"));
    outputTab->setGeometry(124, 194, 98, 30);
    outputTab->setHandler([this] { showTab(false); });

    scroll->setGeometry(24, 234, 992, 398);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab goes straight to the matrix; the area itself has nothing to focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    QPalette palette = scroll->palette();
    palette.setColor(QPalette::Window, Theme::background());
    scroll->setPalette(palette);
    scroll->viewport()->setPalette(palette);
    scroll->viewport()->setAutoFillBackground(true);
    inputs->hide();
    outputs->hide();

    reset->setTitle(localized("new_device.reset"));
    reset->setLink(true);
    reset->setGeometry(18, 641, 120, 26);
    reset->setHandler([this] { (selectedInput_ ? inputs : outputs)->setRoutes({}); });

    inputs->setRoutes(profile_.routes(true));
    outputs->setRoutes(profile_.routes(false));
}

void DeviceDialog::chooseInitialTab() {
    bool input = false;
    if (editing_) {
        input = !inputs->routes().empty();
    } else {
        const int index = deviceBox->selected();
        input = index >= 0 && index < static_cast<int>(available_.size()) &&
                available_[static_cast<size_t>(index)].inputs > 0;
    }
    showTab(input);
}

void DeviceDialog::updateDevice() {
    const int index = deviceBox->selected();
    if (index < 0 || index >= static_cast<int>(available_.size())) return;
    const Device& device = available_[static_cast<size_t>(index)];
    inputs->setHardwareCount(std::min(device.inputs, maxRows));
    outputs->setHardwareCount(std::min(device.outputs, maxRows));
}

void DeviceDialog::updateMode() {
    const bool visible = modeBox->selected() == customMode;
    for (QWidget* widget : {static_cast<QWidget*>(custom), static_cast<QWidget*>(customLabel),
                            static_cast<QWidget*>(up), static_cast<QWidget*>(down)}) {
        widget->setVisible(visible);
    }
}

void DeviceDialog::showTab(bool input) {
    selectedInput_ = input;
    inputTab->setAccent(input);
    outputTab->setAccent(!input);
    inputTab->setChecked(input);
    outputTab->setChecked(!input);
    RouteMatrix* shown = input ? inputs : outputs;
    if (scroll->widget() == shown) return;
    // The scroll area deletes a widget it lets go of; the hidden matrix stays on the panel.
    if (QWidget* previous = scroll->takeWidget()) {
        previous->setParent(root);
        previous->hide();
    }
    scroll->setWidget(shown);
    shown->show();
}

void DeviceDialog::commit() {
    const int index = deviceBox->selected();
    if (index < 0 || index >= static_cast<int>(available_.size())) {
        fail(localized("new_device.select_asio"));
        return;
    }
    if (inputs->routes().empty() && outputs->routes().empty()) {
        fail(localized("new_device.assign_route"));
        return;
    }
    // Validated whatever the mode: the hidden custom value is stored as well.
    const auto blocks = readField(*custom);
    if (!blocks || *blocks < 1 || *blocks > maxBlocks) {
        fail(localized("new_device.latency_range"));
        return;
    }
    const Device& device = available_[static_cast<size_t>(index)];
    profile_.device = device.uid;
    if (!editing_ || profile_.name.empty()) profile_.name = device.name;
    profile_.latencyMode = modeBox->currentText().toStdString();
    profile_.latency = std::to_string(*blocks);
    profile_.setRoutes(true, inputs->routes());
    profile_.setRoutes(false, outputs->routes());
    finish(true);
}

}  // namespace vornisel
