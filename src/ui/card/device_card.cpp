#include "ui/card/device_card.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>

#include "engine/client_runtime.h"
#include "l10n/localizer.h"
#include "ui/card/card_colors.h"
#include "ui/card/diagnostic_view.h"
#include "ui/card/meter_bridge.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_style.h"
#include "ui/theme/theme.h"

namespace vornisel {

CardTexts cardTexts(const Profile& profile, const ClientRuntime& runtime) {
    CardTexts texts;
    if (runtime.isRunning()) {
        texts.statusGlyph = runtime.value("health") == 1 ? Glyph::play : Glyph::refresh;
    } else {
        texts.statusGlyph = Glyph::device;
    }
    texts.name = qtext(profile.name);
    texts.subtitle = qtext("ID " + std::to_string(profile.id) + "  -  " + runtime.latency(profile));
    texts.health = qtext(runtime.health());
    texts.status = qtext(runtime.status());
    return texts;
}

DeviceCard::DeviceCard(const Profile& profile, std::shared_ptr<ClientRuntime> runtime,
                       QWidget* parent)
    : PanelView(parent),
      profile_(profile),
      runtime_(std::move(runtime)),
      toggle_(new ActionButton(QString(), Glyph::play, {}, this)),
      edit_(new ActionButton(QString(), Glyph::edit, {}, this)),
      info_(new ActionButton(QString(), Glyph::info, {}, this)),
      remove_(new ActionButton(QString(), Glyph::trash, {}, this)),
      meter_(new MeterBridge(profile_, runtime_)),
      meterScroll_(new QScrollArea(this)),
      diagnostics_(new DiagnosticView(runtime_, this)),
      recommend_(new ActionButton(QString(), std::nullopt, {}, this)),
      export_(new ActionButton(qtext(vornisel::tr("main.export_support_bundle")), std::nullopt, {},
                               this)) {
    setFill(Theme::card());
    setStroke(card_colors::cardOutline());
    setAccessibleRole(QAccessible::Grouping);
    edit_->setToolTip(qtext(vornisel::tr("main.edit_channels")));
    info_->setToolTip(qtext(vornisel::tr("main.diagnostics")));
    remove_->setToolTip(qtext(vornisel::tr("main.delete_device")));
    buildMeterStrip();
    diagnostics_->setFill(Theme::background());
    recommend_->setLink(true);
    export_->setLink(true);
    refresh();
}

void DeviceCard::buildMeterStrip() {
    meterScroll_->setFrameShape(QFrame::NoFrame);
    // The strip scrolls with its thin bar and the pointer; Tab goes on to the card's buttons.
    meterScroll_->setFocusPolicy(Qt::NoFocus);
    meterScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    meterScroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = meterScroll_->palette();
    palette.setColor(QPalette::Window, card_colors::meterBackground());
    meterScroll_->setPalette(palette);
    meterScroll_->viewport()->setPalette(palette);
    meterScroll_->viewport()->setBackgroundRole(QPalette::Window);
    meterScroll_->viewport()->setAutoFillBackground(true);
    // A thin scroller, so a strip that scrolls still shows the meters' channel numbers.
    PanelStyle::makeThin(meterScroll_->horizontalScrollBar());
    meterScroll_->setWidgetResizable(false);
    meterScroll_->setWidget(meter_);
}

int DeviceCard::requestedHeight() const {
    return runtime_->expanded ? kExpandedCardHeight : kCollapsedCardHeight;
}

void DeviceCard::setHandlers(const Handlers& handlers) {
    toggle_->setHandler(handlers.toggle);
    edit_->setHandler(handlers.edit);
    info_->setHandler(handlers.info);
    remove_->setHandler(handlers.remove);
    recommend_->setHandler(handlers.recommend);
    export_->setHandler(handlers.exportBundle);
}

void DeviceCard::setLocked(bool locked) {
    locked_ = locked;
    toggle_->setEnabled(!runtime_->stopping && !locked_);
}

ActionButton* DeviceCard::button(CardRole role) const {
    switch (role) {
        case CardRole::toggle:
            return toggle_;
        case CardRole::edit:
            return edit_;
        case CardRole::info:
            return info_;
        case CardRole::remove:
            return remove_;
        case CardRole::recommend:
            return recommend_;
        case CardRole::exportBundle:
            return export_;
    }
    return toggle_;
}

const std::vector<CardRole>& DeviceCard::roles() {
    static const std::vector<CardRole> order = {CardRole::toggle,    CardRole::edit,
                                                CardRole::info,      CardRole::remove,
                                                CardRole::recommend, CardRole::exportBundle};
    return order;
}

void DeviceCard::refresh() {
    placeParts();
    updateButtons();
    updateRecommendation();
    texts_ = cardTexts(profile_, *runtime_);
    describe();
    meter_->refresh();
    diagnostics_->refresh();
    update();
}

// A screen reader hears the card as a group named after the device, with what the card shows
// beside the name as its description; only a change of either is an event.
void DeviceCard::describe() {
    QStringList parts = {texts_.status, texts_.health, texts_.subtitle};
    parts.removeAll(QString());
    PanelView::describe(texts_.name, parts.join(QStringLiteral(". ")));
}

void DeviceCard::resizeEvent(QResizeEvent*) {
    placeParts();
}

void DeviceCard::placeParts() {
    frames_ = cardFrames(width(), meter_->naturalWidth());
    toggle_->setGeometry(frames_.toggle);
    edit_->setGeometry(frames_.edit);
    info_->setGeometry(frames_.info);
    remove_->setGeometry(frames_.remove);
    meterScroll_->setGeometry(frames_.meterScroll);
    // Only the size: the meter's position inside the strip is the scroll offset, which the
    // scroll area keeps (and clamps when the strip or the meter changes width).
    meter_->resize(frames_.meter.size());
    diagnostics_->setGeometry(frames_.diagnostics);
    recommend_->setGeometry(frames_.recommend);
    export_->setGeometry(frames_.exportButton);
    const bool expanded = runtime_->expanded;
    diagnostics_->setVisible(expanded);
    recommend_->setVisible(expanded);
    export_->setVisible(expanded);
}

void DeviceCard::updateButtons() {
    const bool running = runtime_->isRunning();
    toggle_->setGlyph(running ? Glyph::stop : Glyph::play);
    toggle_->setTip(qtext(vornisel::tr(running ? "action.stop_device" : "action.start_device")));
    toggle_->setSpokenTitle(
        qtext(vornisel::tr(running ? "action.stop_named" : "action.start_named", profile_.name)));
    toggle_->setEnabled(!runtime_->stopping && !locked_);
    edit_->setEnabled(!running);
    remove_->setEnabled(!running);
}

void DeviceCard::updateRecommendation() {
    const auto proposal = runtime_->recommendation(profile_.blocks());
    if (proposal) {
        recommend_->setTitle(qtext(proposal->second));
        recommend_->setTip(qtext(vornisel::tr(
            proposal->first == 1 ? "telemetry.latency_set_hint_one" : "telemetry.latency_set_hint",
            proposal->first)));
    } else {
        // The old tool tip stays: the button is disabled and hidden behind an empty title.
        recommend_->setTitle(QString());
    }
    recommend_->setEnabled(proposal.has_value());
    // Even a collapsed card shows that a recommendation is waiting.
    info_->setAttention(proposal.has_value());
}

void DeviceCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPanel(painter);
    drawGlyph(painter, texts_.statusGlyph, QRectF(20, 48, 32, 32), Theme::text());
    drawTexts(painter);
}

QRectF DeviceCard::nameRect() const {
    return {70, 28, static_cast<qreal>(frames_.textWidth), 23};
}

QRectF DeviceCard::statusRect() const {
    return {static_cast<qreal>(width() - 272), 49, 104, 42};
}

void DeviceCard::drawTexts(QPainter& painter) const {
    const double column = frames_.textWidth;
    Theme::draw(painter, texts_.name, nameRect(), 17, Theme::text(), true);
    Theme::draw(painter, texts_.subtitle, QRectF(70, 53, column, 19), 12, Theme::secondary());
    Theme::draw(painter, texts_.health, QRectF(70, 72, column, 19), 12, Theme::secondary());
    Theme::draw(painter, texts_.status, statusRect(), 12, Theme::text());
}

bool DeviceCard::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return PanelView::event(event);
    // A text cut short by its ellipsis shows whole in a tool tip.
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    const std::pair<QRectF, std::pair<const QString*, qreal>> texts[] = {
        {nameRect(), {&texts_.name, 17}}, {statusRect(), {&texts_.status, 12}}};
    for (const auto& [rect, text] : texts) {
        const bool cut = QFontMetricsF(Theme::font(text.second, text.second > 12))
                             .horizontalAdvance(*text.first) > rect.width();
        if (rect.contains(at) && cut) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), *text.first, this);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

}  // namespace vornisel
