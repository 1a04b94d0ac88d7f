#include "ui/dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextLayout>

#include "l10n/localizer.h"
#include "ui/dialogs/field_reading.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

QCheckBox* checkBox(const std::string& key, bool on, QWidget* parent) {
    auto* box = new QCheckBox(qtext(vornisel::tr(key)), parent);
    box->setFont(Theme::font(13));
    box->setChecked(on);
    return box;
}

// Breaks `text` into at most `lines` lines of `width` pixels by words; what does not fit ends
// the last line with an ellipsis.
QString wrapped(const QString& text, const QFont& font, qreal width, int lines) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList out;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (out.size() == lines - 1) {
            const QString rest = text.mid(line.textStart()).simplified();
            out << QFontMetricsF(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        out << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return out.join(QLatin1Char('\n'));
}

// A caption that wraps by words over at most two lines; the theme's labels keep to one line.
QLabel* helpLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(Theme::font(12));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::secondary());
    label->setPalette(palette);
    label->setText(wrapped(text, label->font(), 412, 2));
    return label;
}

}  // namespace

SettingsDialog::SettingsDialog(PanelSettings settings)
    : PanelDialog(localized("settings.title"), {460, 600}),
      language(new MenuButton(root)),
      discovery(checkBox("settings.auto_discovery", settings.discovery, root)),
      server(Theme::field(settings.server, root)),
      port(Theme::field(QString::number(settings.port), root)),
      prefix(Theme::field(QString::number(settings.prefix), root)),
      generate(new ActionButton(localized("settings.generate_prefix"), Glyph::refresh, {}, root)),
      prefixHelp(helpLabel(localized("settings.prefix_help"), root)),
      login(checkBox("settings.launch_windows", settings.login, root)),
      minimized(checkBox("settings.start_minimized_macos", settings.minimized, root)),
      settings_(std::move(settings)) {
    label(localized("settings.subtitle"), 24, 22, 412);
    label(localized("settings.language"), 24, 55)->setBuddy(language);
    language->setGeometry(24, 79, 412, 30);
    language->setChoices(QStringList{QStringLiteral("English"), QStringLiteral("Русский")});
    language->setSelected(settings_.language == "ru" ? 1 : 0);
    placeServer();
    placeIdentity();
    placeStartup();
    save->setHandler([this] { commit(); });
    setFieldOrder({language, discovery, server, port, prefix, generate, login, minimized});
    updateDiscovery();
}

void SettingsDialog::placeServer() {
    discovery->setGeometry(24, 124, 400, 24);
    // A person's click only, as the check box's action; setting the state in code stays quiet.
    QObject::connect(discovery, &QCheckBox::clicked, discovery, [this] { updateDiscovery(); });
    label(localized("settings.ip_address"), 24, 160)->setBuddy(server);
    server->setGeometry(24, 184, 412, 28);
    label(localized("settings.port"), 24, 226)->setBuddy(port);
    port->setGeometry(24, 250, 412, 28);
}

void SettingsDialog::placeIdentity() {
    label(localized("settings.device_id_prefix"), 24, 292)->setBuddy(prefix);
    prefix->setAccessibleDescription(localized("settings.prefix_help"));
    prefix->setGeometry(24, 316, 378, 28);
    generate->setToolTip(localized("settings.generate_prefix"));
    generate->setGeometry(408, 316, 28, 28);
    generate->setHandler([this] { prefix->setText(QString::number(PanelSettings().prefix)); });
    prefixHelp->setGeometry(24, 358, 412, 42);
}

void SettingsDialog::placeStartup() {
    login->setGeometry(24, 420, 412, 22);
    minimized->setGeometry(24, 454, 412, 22);
}

void SettingsDialog::updateDiscovery() {
    // The theme's field draws its text in the primary colour and, disabled, in R 111 G 119 B 130.
    server->setEnabled(!discovery->isChecked());
}

void SettingsDialog::commit() {
    // Prefix and port are read exactly as typed: surrounding spaces are a mistake to show.
    const auto newPrefix = readUnsigned32(prefix->text().toStdString());
    if (!newPrefix || *newPrefix < 1 || *newPrefix > maxPrefix) {
        fail(localized("settings.error_prefix"));
        return;
    }
    const auto newPort = readInteger(port->text().toStdString());
    if (!newPort || *newPort < 1 || *newPort > 65535) {
        fail(localized("settings.error_port"));
        return;
    }
    const QString address = server->text().trimmed();
    if (!discovery->isChecked() && !isIPv4Address(address.toStdString())) {
        fail(localized("settings.ip_address") + QStringLiteral(": ") + localized("status.error"));
        return;
    }
    settings_.prefix = *newPrefix;
    settings_.server = address.toStdString();
    settings_.port = *newPort;
    settings_.discovery = discovery->isChecked();
    settings_.language = language->selected() == 1 ? "ru" : "en";
    settings_.login = login->isChecked();
    settings_.minimized = minimized->isChecked();
    finish(true);
}

}  // namespace vornisel
