#include "ui/dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QLineEdit>

#include "dialog_test_support.h"
#include "ui/theme/menu_button.h"

namespace vornisel {
namespace {

PanelSettings stored() {
    return {
        .discovery = false, .server = "10.0.0.2", .port = 28010, .prefix = 3070905, .login = true};
}

class SettingsDialogTest : public test::DialogTest {
protected:
    // A check box reacts only over its box and its text; a person clicks the box.
    static void tick(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    }
};

// Prefix, then port, then server: the first failure is shown and nothing is stored; with
// discovery on the server is not checked.
TEST_F(SettingsDialogTest, ChecksInOrderWithTheFirstFailureShown) {
    const QString prefix = text("settings.error_prefix"), port = text("settings.error_port");
    const QString server = text("settings.ip_address") + ": " + text("status.error");
    const struct {
        QString prefix, port, server;
        bool discoveryOn;
        QString expected;  // empty: accepted
    } rows[] = {
        {"0", "0", "host", false, prefix},       {"4294967287", "1", "1.2.3.4", false, prefix},
        {"-1", "1", "1.2.3.4", false, prefix},   {"5", "0", "host", false, port},
        {"5", "65536", "1.2.3.4", false, port},  {"5", "80", "studio.local", false, server},
        {"1", "1", "1.2.3.4", false, ""},        {"4294967286", "65535", "1.2.3.4", false, ""},
        {"5", "80", "not an address", true, ""},
    };
    for (const auto& row : rows) {
        SettingsDialog dialog(stored());
        present(dialog);
        if (row.discoveryOn) tick(dialog.discovery);
        dialog.prefix->setText(row.prefix);
        dialog.port->setText(row.port);
        dialog.server->setText(row.server);
        const std::string what = (row.prefix + "|" + row.port + "|" + row.server).toStdString();
        click(dialog.save);
        EXPECT_EQ(dialog.error->text(), row.expected) << what;
        EXPECT_EQ(dialog.settings() == stored(), !row.expected.isEmpty()) << what;
    }
}

// The fields start from the given settings; what a person types and ticks is saved, numbers in
// plain decimal and the server trimmed. Discovery disables the server field; Generate proposes
// the prefix of the current time.
TEST_F(SettingsDialogTest, StartsFromTheSettingsAndSavesEveryField) {
    SettingsDialog dialog(stored());
    EXPECT_EQ(dialog.language->currentText(), "English");
    EXPECT_EQ(dialog.server->text(), "10.0.0.2");
    EXPECT_EQ(dialog.port->text(), "28010");
    EXPECT_EQ(dialog.prefix->text(), "3070905");
    present(dialog);
    tick(dialog.discovery);
    EXPECT_FALSE(dialog.server->isEnabled());
    tick(dialog.discovery);
    const uint32_t before = PanelSettings::timePrefix();
    click(dialog.generate);
    const uint32_t shown = dialog.prefix->text().toUInt();
    EXPECT_TRUE(shown == before || shown == PanelSettings::timePrefix()) << shown;
    typeInto(dialog.prefix, "+0099");
    typeInto(dialog.port, "+0443");
    typeInto(dialog.server, "  172.16.0.9 ");
    tick(dialog.login);
    tick(dialog.minimized);
    QTest::keyClick(dialog.server, Qt::Key_Return);
    ASSERT_TRUE(waitForCompletion());
    const PanelSettings expected{
        .discovery = false, .server = "172.16.0.9", .port = 443, .prefix = 99, .minimized = true};
    EXPECT_EQ(dialog.settings(), expected);
}

}  // namespace
}  // namespace vornisel
