#include "app/main_menu.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

namespace vornisel {

namespace {

// Gives `title` a mnemonic on the first letter that no other item of its menu took yet.
QString withMnemonic(const QString& title, QString& taken) {
    for (int i = 0; i < title.size(); ++i) {
        const QChar letter = title[i].toLower();
        if (letter.isLetter() && !taken.contains(letter)) {
            taken += letter;
            return title.left(i) + QLatin1Char('&') + title.mid(i);
        }
    }
    return title;
}

// Shortcuts work in every window of the application, the dialogs included; a focused text field
// still takes its own editing keys first.
QAction* addItem(QMenu& menu, const QString& title, const QString& key, std::function<void()> run) {
    QString taken = menu.property("mnemonics").toString();
    QAction* action = menu.addAction(withMnemonic(title, taken));
    menu.setProperty("mnemonics", taken);
    if (!key.isEmpty()) {
        action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + key));
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    QObject::connect(action, &QAction::triggered, &menu, [run = std::move(run)] {
        if (run) {
            run();
        }
    });
    return action;
}

template <class Edit>
bool applyEdit(Edit* edit, const QString& command) {
    if (command == QLatin1String("cut")) {
        edit->cut();
    } else if (command == QLatin1String("copy")) {
        edit->copy();
    } else if (command == QLatin1String("paste")) {
        edit->paste();
    } else if (command == QLatin1String("selectAll")) {
        edit->selectAll();
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool editFocusedText(QWidget* widget, const QString& command) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        return applyEdit(line, command);
    }
    if (auto* text = qobject_cast<QTextEdit*>(widget)) {
        return applyEdit(text, command);
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        return applyEdit(plain, command);
    }
    return false;
}

void buildMainMenu(QMenuBar& bar, const MainMenuItems& items) {
    // clear() only takes the actions away; the menus behind them are the bar's children and live
    // on until deleted. Deleted later, as the rebuild may run from one of their own items.
    for (QAction* action : bar.actions()) {
        if (QMenu* menu = action->menu()) {
            menu->deleteLater();
        }
    }
    bar.clear();
    QString titles;
    QMenu* app = bar.addMenu(withMnemonic(items.title, titles));
    addItem(*app, items.show, {}, items.onShow);
    addItem(*app, items.settings, QStringLiteral(","), items.onSettings);
    // Quitting may open nothing but a notice, yet it must not run inside the menu's own event
    // handling, where the window it may bring back is still grabbed by the menu.
    auto exit = items.onExit;
    addItem(*app, items.exit, QStringLiteral("Q"), [exit] {
        if (exit) {
            QTimer::singleShot(0, exit);
        }
    });

    QMenu* edit = bar.addMenu(withMnemonic(QStringLiteral("Edit"), titles));
    const std::pair<const char*, const char*> editItems[] = {
        {"Cut", "cut"}, {"Copy", "copy"}, {"Paste", "paste"}, {"Select All", "selectAll"}};
    const char* keys[] = {"X", "C", "V", "A"};
    for (size_t i = 0; i < std::size(editItems); ++i) {
        const QString command = QString::fromLatin1(editItems[i].second);
        addItem(*edit, QString::fromLatin1(editItems[i].first), QString::fromLatin1(keys[i]),
                [command] { editFocusedText(QApplication::focusWidget(), command); });
    }
}

}  // namespace vornisel
