#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialogs/dialog_window.h"

class QLabel;
class QScrollArea;
class QWidget;

namespace vornisel {

class ActionButton;
class PanelView;

// The frame every panel dialog is built on: a window-modal sheet over the main window with a
// drawn content panel, a red error line, a separator, and Cancel and Save at the bottom right.
// A concrete dialog places its fields above the error line, hooks its validation to Save and ends
// with finish(true) when the values pass. The owner learns the outcome through the completion
// given to present(); it may release the dialog from inside that completion.
class PanelDialog {
public:
    virtual ~PanelDialog();
    PanelDialog(const PanelDialog&) = delete;
    PanelDialog& operator=(const PanelDialog&) = delete;

    // Shows the dialog as a sheet on `parent` and returns at once. `completion` runs exactly once,
    // from the event loop after the window has left the screen, with the outcome; with false when
    // the dialog was released before it ended.
    void present(QWidget* parent, std::function<void(bool)> completion);
    // Records the outcome, takes the window off the screen and lets the completion run. Only the
    // first call counts.
    void finish(bool outcome);
    // The title bar's close button: the window always leaves through finish().
    bool windowShouldClose();

    bool accepted() const { return *accepted_; }

    // The sheet window (owned by the dialog; gone only if its parent was destroyed first).
    DialogWindow* window() const { return window_; }

    PanelView* const root;
    QLabel* const error;
    ActionButton* const save;
    ActionButton* const cancel;

protected:
    // Only the concrete dialogs build a frame, for a content size of `size`.
    PanelDialog(const QString& title, QSize size);

    // The fields in the order Tab walks them; Cancel and Save follow. When the dialog opens, the
    // first field that can take the focus (shown, enabled, reached by Tab) has it, so typing and
    // Space go to a field rather than to Save.
    void setFieldOrder(std::initializer_list<QWidget*> fields);

    // Shows why Save refused on the error line, and has screen readers speak it.
    void fail(const QString& reason);

    // A 13-pixel secondary caption on the content panel at (x, y, width, 20).
    QLabel* label(const QString& text, int x, int y, int width = 500);
    // The localised text of `key`.
    static QString localized(const std::string& key);

private:
    void placeFrame(QSize size);
    // On a screen lower than the dialog, the fields scroll and the error line and the buttons
    // stay in view below them.
    void fitScreen(QWidget* parent);
    void followFocus(QScrollArea* area);
    void chainTabs();
    void focusFirstField();
    void postCompletion();

    QPointer<DialogWindow> window_;
    // Shared with a pending completion, which reads the outcome only while the dialog lives.
    std::shared_ptr<bool> accepted_ = std::make_shared<bool>(false);
    std::function<void(bool)> completion_;
    bool finished_ = false;
    std::vector<QWidget*> fields_;
    PanelView* separator_ = nullptr;
};

}  // namespace vornisel
