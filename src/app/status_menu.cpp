#include "app/status_menu.h"

#include <QAction>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <utility>

#include "ui/theme/theme.h"

namespace vornisel {

StatusMenu::StatusMenu(QObject* parent) : QObject(parent) {}

void StatusMenu::attachTray() {
    if (std::exchange(attached_, true)) {
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(icon(), this);
        tray_->setToolTip(title());
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger && activated_) {
                        activated_();
                    }
                });
        if (menu_) {
            tray_->setContextMenu(menu_.get());
        }
        tray_->show();
    }
}

StatusMenu::~StatusMenu() {
    if (tray_) {
        tray_->setContextMenu(nullptr);
    }
}

QIcon StatusMenu::icon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font = Theme::font(size * 0.5, true);
        painter.setFont(font);
        painter.setPen(Theme::text());
        painter.drawText(pixmap.rect(), Qt::AlignCenter, title());
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void StatusMenu::setItems(std::vector<Item> items) {
    items_ = std::move(items);
    if (menu_ && menu_->isVisible()) {
        waiting_ = true;
        return;
    }
    install();
}

QStringList StatusMenu::titles() const {
    QStringList titles;
    for (const auto& item : items_) {
        titles << item.title;
    }
    return titles;
}

void StatusMenu::install() {
    waiting_ = false;
    auto menu = std::make_unique<QMenu>();
    for (const auto& item : items_) {
        QAction* action = menu->addAction(item.title);
        auto run = item.action;
        // Queued, so the action runs after the menu has closed and may itself rebuild the menu.
        connect(action, &QAction::triggered, this, [run] {
            if (run) {
                QTimer::singleShot(0, run);
            }
        });
    }
    connect(menu.get(), &QMenu::aboutToHide, this, [this] {
        if (waiting_) {
            QTimer::singleShot(0, this, [this] {
                if (waiting_) {
                    install();
                }
            });
        }
    });
    if (tray_) {
        tray_->setContextMenu(menu.get());
    }
    // The old menu may be the one whose action is running right now.
    if (menu_) {
        menu_.release()->deleteLater();
    }
    menu_ = std::move(menu);
}

}  // namespace vornisel
