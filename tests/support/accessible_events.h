#pragma once

#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <QAccessible>
#include <QObject>
#include <QString>
#include <vector>

namespace vornisel::test {

// Records what the panel tells assistive tools while it lives, as an active screen reader would
// receive it. Only one recorder at a time: Qt has a single update handler.
class AccessibleEvents {
public:
    struct Event {
        QObject* object;
        QAccessible::Event type;
        QString description;
    };

    AccessibleEvents() {
        recorded().clear();
        // Qt tells the update handler only while a screen reader is said to listen; on the
        // offscreen platform nothing says so but the platform's own switch.
        setActive(true);
        previous_ = QAccessible::installUpdateHandler(&record);
    }
    ~AccessibleEvents() {
        QAccessible::installUpdateHandler(previous_);
        setActive(false);
    }
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    const std::vector<Event>& events() const { return recorded(); }
    std::vector<Event> of(const QObject* object) const {
        std::vector<Event> found;
        for (const Event& event : recorded()) {
            if (event.object == object) found.push_back(event);
        }
        return found;
    }

private:
    static void setActive(bool active) {
        if (QPlatformAccessibility* platform =
                QGuiApplicationPrivate::platformIntegration()->accessibility())
            platform->setActive(active);
    }
    static std::vector<Event>& recorded() {
        static std::vector<Event> events;
        return events;
    }
    static void record(QAccessibleEvent* event) {
        QAccessibleInterface* target = event->accessibleInterface();
        recorded().push_back({event->object(), event->type(),
                              target ? target->text(QAccessible::Description) : QString()});
    }

    QAccessible::UpdateHandler previous_ = nullptr;
};

}  // namespace vornisel::test
