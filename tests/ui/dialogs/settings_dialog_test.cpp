#include "ui/dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "dialog_test_support.h"
#include "ui/theme/menu_button.h"

namespace vornisel {
namespace {

PanelSettings stored() {
    PanelSettings settings;
    settings.language = "en";
    settings.discovery = false;
    settings.server = "10.0.0.2";
    settings.port = 28010;
    settings.prefix = 3070905;
    settings.width = 1200;
    settings.height = 800;
    return settings;
}

class SettingsDialogTest : public test::DialogTest {
protected:
    // Presses Save and returns the error line (empty when the sheet ended).
    static QString saveAndRead(SettingsDialog& dialog) {
        click(dialog.save);
        return dialog.window()->isVisible() ? dialog.error->text() : QString();
    }
    // A check box reacts only over its box and its text; a person clicks the box.
    static void tick(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    }
    QString serverError() const {
        return text("settings.ip_address") + ": " + text("status.error");
    }
};

TEST_F(SettingsDialogTest, StartsFromTheGivenSettings) {
    PanelSettings settings = stored();
    settings.language = "ru";
    settings.login = true;
    SettingsDialog dialog(settings);
    EXPECT_EQ(dialog.window()->size(), QSize(460, 600));
    EXPECT_EQ(dialog.window()->windowTitle(), text("settings.title"));
    EXPECT_EQ(dialog.language->choices(), (QStringList{"English", "Русский"}));
    EXPECT_EQ(dialog.language->selected(), 1);
    EXPECT_FALSE(dialog.discovery->isChecked());
    EXPECT_TRUE(dialog.server->isEnabled());
    EXPECT_EQ(dialog.server->text(), "10.0.0.2");
    EXPECT_EQ(dialog.port->text(), "28010");
    EXPECT_EQ(dialog.prefix->text(), "3070905");
    EXPECT_TRUE(dialog.login->isChecked());
    EXPECT_FALSE(dialog.minimized->isChecked());
    EXPECT_EQ(dialog.generate->geometry(), QRect(408, 316, 28, 28));
    EXPECT_EQ(dialog.generate->glyph(), Glyph::refresh);
    EXPECT_EQ(dialog.generate->toolTip(), text("settings.generate_prefix"));
    EXPECT_EQ(dialog.prefix->geometry(), QRect(24, 316, 378, 28));
    EXPECT_EQ(dialog.prefixHelp->geometry(), QRect(24, 358, 412, 42));
    EXPECT_LE(dialog.prefixHelp->text().count('\n'), 1);
    EXPECT_EQ(dialog.settings(), settings);
}

TEST_F(SettingsDialogTest, ChecksInOrderWithTheFirstFailureShown) {
    struct Row {
        QString prefix, port, server;
        bool discoveryOn;
        QString expected;  // empty: accepted
    };
    const QString prefixError = text("settings.error_prefix");
    const QString portError = text("settings.error_port");
    const Row rows[] = {
        {"0", "0", "host", false, prefixError},
        {"4294967287", "1", "1.2.3.4", false, prefixError},
        {"", "1", "1.2.3.4", false, prefixError},
        {" 5", "1", "1.2.3.4", false, prefixError},
        {"-1", "1", "1.2.3.4", false, prefixError},
        {"12a", "1", "1.2.3.4", false, prefixError},
        {"5", "0", "host", false, portError},
        {"5", "65536", "1.2.3.4", false, portError},
        {"5", "", "1.2.3.4", false, portError},
        {"5", " 80", "1.2.3.4", false, portError},
        {"5", "80 ", "1.2.3.4", false, portError},
        {"5", "8o", "1.2.3.4", false, portError},
        {"5", "80", "studio.local", false, serverError()},
        {"5", "80", "::1", false, serverError()},
        {"5", "80", "", false, serverError()},
        {"5", "80", "1.2.3", false, serverError()},
        {"1", "1", " 192.168.1.20  ", false, ""},
        {"4294967286", "65535", "1.2.3.4", false, ""},
        {"+42", "+80", "1.2.3.4", false, ""},
        {"5", "80", "not an address", true, ""},
        {"5", "80", "", true, ""},
    };
    for (const auto& row : rows) {
        completions = 0;
        SettingsDialog dialog(stored());
        present(dialog);
        if (row.discoveryOn) tick(dialog.discovery);
        typeInto(dialog.prefix, row.prefix);
        typeInto(dialog.port, row.port);
        if (!row.discoveryOn)
            typeInto(dialog.server, row.server);
        else
            dialog.server->setText(row.server);  // disabled: no typing, but text may stay
        const std::string what = (row.prefix + "|" + row.port + "|" + row.server).toStdString();
        EXPECT_EQ(saveAndRead(dialog), row.expected) << what;
        if (!row.expected.isEmpty()) {
            EXPECT_EQ(dialog.settings(), stored()) << what;
            continue;
        }
        ASSERT_TRUE(waitForCompletion()) << what;
        EXPECT_TRUE(lastOutcome);
    }
}

TEST_F(SettingsDialogTest, SaveWritesEveryFieldAndKeepsTheRest) {
    SettingsDialog dialog(stored());
    present(dialog);
    dialog.language->choose(1);
    typeInto(dialog.prefix, "+0099");
    typeInto(dialog.port, "+0443");
    typeInto(dialog.server, "  172.16.0.9 ");
    tick(dialog.login);
    tick(dialog.minimized);
    QTest::keyClick(dialog.server, Qt::Key_Return);
    ASSERT_TRUE(waitForCompletion());
    PanelSettings expected = stored();
    expected.language = "ru";
    expected.prefix = 99;
    expected.port = 443;
    expected.server = "172.16.0.9";
    expected.login = true;
    expected.minimized = true;
    EXPECT_EQ(dialog.settings(), expected);
}

TEST_F(SettingsDialogTest, DiscoveryDisablesAndGreysTheServer) {
    SettingsDialog dialog(stored());
    present(dialog);
    tick(dialog.discovery);
    EXPECT_TRUE(dialog.discovery->isChecked());
    EXPECT_FALSE(dialog.server->isEnabled());
    // The text of the disabled field is drawn in the grey of disabled content.
    const QImage image = dialog.server->grab().toImage();
    bool grey = false;
    bool white = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            grey = grey || image.pixelColor(x, y) == QColor(111, 119, 130);
            white = white || image.pixelColor(x, y) == Theme::text();
        }
    }
    EXPECT_TRUE(grey);
    EXPECT_FALSE(white);
    render(dialog.window(), "settings-discovery-on");
    tick(dialog.discovery);
    EXPECT_TRUE(dialog.server->isEnabled());
    dialog.error->setText(serverError());
    render(dialog.window(), "settings-discovery-off");
    // With discovery on, the server is saved trimmed without being checked.
    tick(dialog.discovery);
    dialog.server->setText(" anything ");
    click(dialog.save);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(dialog.settings().server, "anything");
    EXPECT_TRUE(dialog.settings().discovery);
}

TEST_F(SettingsDialogTest, GenerateProposesTheTimePrefix) {
    SettingsDialog dialog(stored());
    present(dialog);
    typeInto(dialog.prefix, "garbage");
    const uint32_t before = PanelSettings::timePrefix();
    click(dialog.generate);
    const uint32_t after = PanelSettings::timePrefix();
    const uint32_t shown = dialog.prefix->text().toUInt();
    EXPECT_TRUE(shown == before || shown == after) << shown;
}

TEST_F(SettingsDialogTest, CancelLeavesTheSettingsUntouched) {
    SettingsDialog dialog(stored());
    present(dialog);
    typeInto(dialog.port, "443");
    click(dialog.cancel);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(lastOutcome);
    EXPECT_EQ(dialog.settings(), stored());
}

}  // namespace
}  // namespace vornisel
