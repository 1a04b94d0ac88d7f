#pragma once

#include <QDialog>
#include <functional>

namespace vornisel {

// The window of a panel dialog. It never leaves the screen by itself: Escape runs `cancel`, the
// close button asks `shouldClose`, Return runs `confirm` unless a focused button took it, and the
// owner decides what happens.
class DialogWindow : public QDialog {
    Q_OBJECT
public:
    explicit DialogWindow(QWidget* parent = nullptr);

    // Run when the user cancels with Escape.
    std::function<void()> cancel;
    // Asked when the user closes the window from its title bar; false keeps it open.
    std::function<bool()> shouldClose;
    // Run for Return and Enter: the key equivalent of the dialog's confirming button.
    std::function<void()> confirm;

    // QDialog's own ways out (Escape, accept, reject) all land here or in done(); routing them
    // to the closures keeps the owner the only one that ends the dialog.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // No "What's This?" menu: a right click on a field means nothing here.
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace vornisel
