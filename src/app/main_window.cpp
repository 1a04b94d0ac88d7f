#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <utility>

namespace vornisel {

namespace {

// Watches a window for its first exposure. The expose event is handled by painting and flushing
// the whole window, so a call queued from here runs once that frame is out.
class FirstFrameWatcher : public QObject {
public:
    FirstFrameWatcher(QWindow* window, std::function<void()> callback)
        : QObject(window), window_(window), callback_(std::move(callback)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && window_->isExposed() && callback_) {
            QTimer::singleShot(0, window_, std::exchange(callback_, {}));
            deleteLater();
        }
        return false;
    }

private:
    QWindow* window_;
    std::function<void()> callback_;
};

}  // namespace

MainWindow::MainWindow(QWidget* content, QSize contentSize) {
    // A menu bar inside the window on every desktop, so what the window shows does not depend
    // on whether a global menu service happens to run. Said before the bar exists, so it never
    // looks for such a service (a session-bus connection on the way to the first frame).
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    menuBar()->setNativeMenuBar(false);
    content->setMinimumSize(minimumContent);
    setCentralWidget(content);
    fitContent(contentSize);
}

void MainWindow::fitContent(QSize size) {
    wanted_ = size;
    resize(size.width(), size.height() + menuBar()->sizeHint().height());
    centralWidget()->resize(size);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!wanted_.isValid()) {
        return;
    }
    // Only a shown window knows its menu bar's real height (style and fonts are applied late);
    // the first showing corrects the window so that the content gets exactly the stored size.
    const QSize wanted = std::exchange(wanted_, QSize());
    layout()->activate();
    const QSize content = centralWidget()->size();
    if (content != wanted) {
        resize(size() + (wanted - content));
        layout()->activate();
    }
}

QSize MainWindow::openingSize(double storedWidth, double storedHeight) {
    auto side = [](double stored, int minimum) {
        if (!std::isfinite(stored) || stored < minimum) {
            return minimum;
        }
        return static_cast<int>(std::min(stored, 100000.0));
    };
    return {side(storedWidth, minimumContent.width()), side(storedHeight, minimumContent.height())};
}

QSize MainWindow::contentSize() const {
    return centralWidget()->size();
}

void MainWindow::centerOnScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    // A stored size larger than this screen's free area shrinks to it (the title bar is not
    // known before the first showing; a margin stands for it).
    constexpr int titleBar = 40;
    const QRect area = screen->availableGeometry();
    const QSize limit(area.width(), area.height() - titleBar);
    if (wanted_.isValid()) {
        const QSize room = limit - QSize(0, menuBar()->sizeHint().height());
        wanted_ = wanted_.boundedTo(room).expandedTo(minimumContent);
        resize(wanted_ + QSize(0, menuBar()->sizeHint().height()));
    }
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    frame.moveTop(std::max(frame.top(), area.top()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    move(frame.topLeft());
}

void MainWindow::bringToFront() {
    const bool mapped = isVisible();
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    // A Wayland compositor focuses a window as it maps it; asking once more there prints a
    // warning at every launch where the compositor offers no activation.
    if (mapped || !QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        activateWindow();
    }
}

void MainWindow::showMinimizedAtStart() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        showMinimized();
        return;
    }
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    afterFirstFrame([this] {
        setAttribute(Qt::WA_ShowWithoutActivating, false);
        showMinimized();
    });
}

void MainWindow::afterFirstFrame(std::function<void()> callback) {
    QWindow* handle = windowHandle();
    if (!handle || handle->isExposed()) {
        QTimer::singleShot(0, this, std::move(callback));
        return;
    }
    new FirstFrameWatcher(handle, std::move(callback));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose_ && !shouldClose_()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace vornisel
