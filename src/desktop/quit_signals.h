#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vornisel {

// Turns SIGTERM and SIGINT into a call on the main thread, through a pipe that the signal
// handler writes one byte to (the only thing a handler may safely do). One instance at a time;
// the previous dispositions come back when it is destroyed.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(std::function<void(int)> received, QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    bool active() const { return notifier_ != nullptr; }

private:
    void drain();

    std::function<void(int)> received_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vornisel
