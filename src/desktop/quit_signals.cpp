#include "desktop/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

namespace vornisel {

namespace {

int pipeFds[2] = {-1, -1};
constexpr std::array<int, 2> quitSignals = {SIGTERM, SIGINT};
struct sigaction previous[2];

extern "C" void onQuitSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a pending request; dropping this byte loses nothing.
    [[maybe_unused]] ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void(int)> received, QObject* parent)
    : QObject(parent), received_(std::move(received)) {
    if (pipeFds[0] >= 0 || ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    for (size_t i = 0; i < quitSignals.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(quitSignals[i], &action, &previous[i]);
    }
}

QuitSignals::~QuitSignals() {
    if (!notifier_) {
        return;
    }
    for (size_t i = 0; i < quitSignals.size(); ++i) {
        ::sigaction(quitSignals[i], &previous[i], nullptr);
    }
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void QuitSignals::drain() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeFds[0], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0 && received_) {
        received_(last);
    }
}

}  // namespace vornisel
