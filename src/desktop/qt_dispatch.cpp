#include "desktop/qt_dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <algorithm>

namespace vornisel {

QtDispatch::QtDispatch() {
    auto* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(std::max(pool->maxThreadCount(), workers));
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
    QThreadPool::globalInstance()->start(std::move(job));
}

}  // namespace vornisel
