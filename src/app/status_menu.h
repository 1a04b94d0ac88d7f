#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace vornisel {

// The status item: a tray icon showing "VN" once the desktop has a tray, and its menu, which
// exists and is kept current with or without a tray. The icon joins the tray only when asked
// (`attachTray`), since asking the desktop for its tray takes a session-bus connection. The menu is
// replaced as a whole when its entries change (a rebuild that reads the same keeps it); while the
// old one is open the new one waits until it closes, so a rebuild every second does not pull the
// menu from under the pointer.
class StatusMenu : public QObject {
    Q_OBJECT

public:
    struct Item {
        QString title;
        std::function<void()> action;
    };

    explicit StatusMenu(QObject* parent = nullptr);
    ~StatusMenu() override;

    // The text the item shows in the bar.
    static QString title() { return QStringLiteral("VN"); }
    // That text drawn into an icon, since a tray shows pictures only.
    static QIcon icon();

    // Puts the icon in the desktop's tray with the menu in force, or into the tray the desktop gets
    // later when it has none yet. Later calls do nothing.
    void attachTray();

    void setItems(std::vector<Item> items);
    // The icon's tool tip; kept until the icon joins the tray. Unchanged text is not sent again.
    void setToolTip(const QString& tip);
    const QString& toolTip() const { return tip_; }
    // The menu in force (the one being shown, while a rebuild waits).
    QMenu* menu() const { return menu_.get(); }
    // The items the menu has, or will have once an open menu closes.
    QStringList titles() const;
    // Whether the icon was offered to the tray yet.
    bool attached() const { return attached_; }
    // Null until attached.
    QSystemTrayIcon* tray() const { return tray_; }
    // A click on the tray icon itself (not its menu).
    void setActivated(std::function<void()> activated) { activated_ = std::move(activated); }

private:
    void install();

    QSystemTrayIcon* tray_ = nullptr;
    bool attached_ = false;
    std::unique_ptr<QMenu> menu_;
    std::vector<Item> items_;
    bool waiting_ = false;
    std::function<void()> activated_;
    QString tip_ = title();
};

}  // namespace vornisel
