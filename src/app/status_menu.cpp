#include "app/status_menu.h"

#include <QAction>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "ui/theme/theme.h"

namespace vornisel {

StatusMenu::StatusMenu(QObject* parent) : QObject(parent) {}

void StatusMenu::attachTray() {
    if (std::exchange(attached_, true)) {
        return;
    }
    // Shown even while the desktop has no tray: the toolkit puts it into a tray that appears later.
    tray_ = new QSystemTrayIcon(icon(), this);
    tray_->setToolTip(tip_);
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

StatusMenu::~StatusMenu() {
    if (tray_) {
        tray_->setContextMenu(nullptr);
    }
}

void StatusMenu::setToolTip(const QString& tip) {
    if (tip == tip_) {
        return;
    }
    tip_ = tip;
    if (tray_) {
        tray_->setToolTip(tip_);
    }
}

QIcon StatusMenu::icon() {
    // Light letters on a dark rounded plate with a light rim: it stands out from light and dark
    // trays alike, where letters alone would vanish on one of them.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const qreal rim = std::max(1.0, size / 16.0);
        painter.setPen(QPen(Theme::text(), rim));
        painter.setBrush(Theme::background());
        const QRectF plate = QRectF(pixmap.rect()).adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2);
        painter.drawRoundedRect(plate, size * 0.2, size * 0.2);
        painter.setFont(Theme::font(size * 0.45, true));
        painter.setPen(Theme::text());
        painter.drawText(pixmap.rect(), Qt::AlignCenter, title());
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void StatusMenu::setItems(std::vector<Item> items) {
    // The menu is rebuilt every second; when it would read the same, the one in force stays (its
    // entries run whatever action now holds their place).
    const bool same = menu_ && !waiting_ && items.size() == items_.size() &&
                      std::equal(items.begin(), items.end(), items_.begin(),
                                 [](const Item& a, const Item& b) { return a.title == b.title; });
    items_ = std::move(items);
    if (same) {
        return;
    }
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
    for (size_t place = 0; place < items_.size(); ++place) {
        QAction* action = menu->addAction(items_[place].title);
        // Queued, so the action runs after the menu has closed and may itself rebuild the menu.
        connect(action, &QAction::triggered, this, [this, place] {
            if (place < items_.size() && items_[place].action) {
                QTimer::singleShot(0, items_[place].action);
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
