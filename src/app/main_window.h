#pragma once

#include <QMainWindow>
#include <QSize>
#include <functional>

namespace vornisel {

// The one main window. Its central widget is the content view; the menu bar sits above it, so
// the stored size is the content's size. The close button only asks `shouldClose`, which hides
// the window instead: the window is never destroyed while the application runs.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize minimumContent{800, 450};

    // `content` becomes the central widget; the window takes ownership of it.
    MainWindow(QWidget* content, QSize contentSize);

    // The size the window opens with: the stored size, but never below the minimum.
    static QSize openingSize(double storedWidth, double storedHeight);

    // Sizes the window so that the content gets `size` below the menu bar as it is now.
    void fitContent(QSize size);

    void setShouldClose(std::function<bool()> shouldClose) {
        shouldClose_ = std::move(shouldClose);
    }
    QSize contentSize() const;
    void centerOnScreen();
    // Shows the window, brings it to the front and asks for the keyboard focus.
    void bringToFront();
    // Starts the window minimised. On Wayland a window can be minimised only once it is mapped,
    // so there it is shown and minimised after its first frame.
    void showMinimizedAtStart();
    // Runs `callback` once, from the event loop, after the shown window's first frame was drawn
    // and handed to the display (at once if it already was).
    void afterFirstFrame(std::function<void()> callback);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QSize wanted_;
    std::function<bool()> shouldClose_;
};

}  // namespace vornisel
