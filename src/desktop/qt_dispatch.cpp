#include "desktop/qt_dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <algorithm>

namespace vornisel {

namespace {

// A pool of our own, never destroyed: the application's end waits for every job of Qt's global
// pool without a bound, and a job stuck in a system call would then hold the panel for ever.
// Quitting waits for this one with a bound instead (finish).
QThreadPool& pool() {
    static QThreadPool* const instance = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(std::max(created->maxThreadCount(), QtDispatch::workers));
        return created;
    }();
    return *instance;
}

}  // namespace

QtDispatch::QtDispatch() {
    pool();
}

void QtDispatch::main(std::function<void()> job) {
    // The application object outlives every controller, so a job queued by a worker just as a
    // controller goes away still has a receiver; the jobs themselves hold the controller weakly.
    auto* app = QCoreApplication::instance();
    if (!app) {
        return;
    }
    QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

void QtDispatch::utility(std::function<void()> job) {
    pool().start(std::move(job));
}

bool QtDispatch::finish(std::chrono::milliseconds bound) {
    return pool().waitForDone(static_cast<int>(bound.count()));
}

}  // namespace vornisel
