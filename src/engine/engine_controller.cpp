#include "engine/engine_controller.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "base/safe_file.h"
#include "engine/conflict_description.h"
#include "engine/engine_command.h"
#include "engine/engine_leftovers.h"
#include "engine/host_contract.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"
#include "model/mapping_conflicts.h"
#include "model/panel_store.h"

namespace vornisel {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits up to `seconds` for the process to end. The waiter thread signals the end, so this wakes
// at once rather than at the next look; the look-again interval only bounds each sleep.
void waitForEnd(const Process& process, double seconds, double lookAgain) {
    const auto deadline = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                                   std::chrono::duration<double>(seconds));
    const auto slice =
        std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(lookAgain));
    while (process.isRunning()) {
        const auto now = SteadyClock::now();
        if (now >= deadline) return;
        process.waitForExit(std::min(deadline, now + slice));
    }
}

}  // namespace

std::shared_ptr<EngineController> EngineController::create(PanelStore& store,
                                                           std::shared_ptr<Dispatch> dispatch,
                                                           WindowHooks& hooks,
                                                           std::filesystem::path bundle) {
    return std::shared_ptr<EngineController>(
        new EngineController(store, std::move(dispatch), hooks, std::move(bundle)));
}

EngineController::EngineController(PanelStore& store, std::shared_ptr<Dispatch> dispatch,
                                   WindowHooks& hooks, std::filesystem::path bundle)
    : store_(store), dispatch_(std::move(dispatch)), hooks_(hooks), bundle_(std::move(bundle)) {}

std::filesystem::path EngineController::hostURL() const {
    return bundle_ / std::string(host::kRelativePath);
}

std::shared_ptr<ClientRuntime> EngineController::runtime(uint32_t id) {
    auto& slot = runtimes_[id];
    if (!slot) slot = std::make_shared<ClientRuntime>();
    return slot;
}

void EngineController::start(uint32_t id) {
    const auto rt = runtime(id);
    if (rt->isRunning() || rt->stopping) return;
    const auto& clients = store_.clients();
    const auto record =
        std::find_if(clients.begin(), clients.end(), [id](const Profile& p) { return p.id == id; });
    if (record == clients.end()) return;

    std::filesystem::path config;
    try {
        config = store_.writeConfig(*record);
    } catch (const std::exception& error) {
        return startFailed(*rt, errorText(error));
    }
    auto process =
        Process::create(hostURL(), {"--config", config.string(), "--client-id", std::to_string(id),
                                    "--parent-pid", std::to_string(::getpid())});
    // Started afresh at every launch: the log tells about the current engine only. Whatever else
    // stands at its name (a link, a FIFO that would block this thread) is replaced, not followed.
    int log = -1;
    try {
        log = replaceWithOwnFile(store_.folder(), "engine-" + std::to_string(id) + ".log", 0644)
                  .release();
    } catch (const UnsafeFileError& error) {
        return startFailed(*rt, errorText(error));
    }
    process->setStandardOutput(log);
    process->setStandardError(log);
    process->setFileSizeLimit(kLogLimitBytes);

    rt->state = nlohmann::ordered_json{{"status", 1}};
    rt->samples.clear();
    rt->commandFailed = false;
    rt->stopAsked = false;
    rt->process = process;
    installTerminationHandler(id, rt, process, log);
    std::string error;
    if (!process->launch(&error)) {
        ::close(log);
        return startFailed(*rt, error);
    }
    hooks_.updateControls();
    warnAboutConflicts();
}

void EngineController::startFailed(ClientRuntime& rt, const std::string& description) {
    rt.state = nlohmann::ordered_json{{"status", 7}, {"lastErrorKey", description}};
    hooks_.showNotice(description, true);
    hooks_.updateControls();
}

void EngineController::warnAboutConflicts() {
    std::vector<Profile> running;
    for (const auto& record : store_.clients())
        if (runtime(record.id)->isRunning()) running.push_back(record);
    const std::string conflicts = conflictDescription(mappingConflicts(running));
    if (!conflicts.empty()) hooks_.showNotice(tr("notice.mapping_conflict", conflicts), true);
}

void EngineController::installTerminationHandler(uint32_t id,
                                                 const std::shared_ptr<ClientRuntime>& rt,
                                                 const std::shared_ptr<Process>& process,
                                                 int logFd) {
    std::weak_ptr<EngineController> weakSelf = weak_from_this();
    std::weak_ptr<ClientRuntime> weakRuntime = rt;
    std::weak_ptr<Dispatch> queue = dispatch_;
    // Weak, not a raw address: a later task could be allocated where this one was.
    std::weak_ptr<Process> task = process;
    process->setTerminationHandler([id, weakSelf, weakRuntime, queue, task, logFd](Process& ended) {
        ::close(logFd);
        const int status = ended.terminationStatus();
        const auto dispatch = queue.lock();
        if (!dispatch) return;
        dispatch->main([id, weakSelf, weakRuntime, task, status] {
            const auto self = weakSelf.lock();
            const auto rt = weakRuntime.lock();
            // Only the runtime's current task may report; an old one's end is history.
            if (!self || !rt || !rt->process || rt->process != task.lock()) return;
            if (!rt->stopping && !rt->stopAsked && status != 0)
                rt->state = nlohmann::ordered_json{
                    {"status", 7},
                    {"lastErrorKey", engineSocketTaken(id) ? "status.engine_socket_taken"
                                                           : "status.engine_no_response"}};
            self->hooks_.updateControls();
        });
    });
}

void EngineController::stop(uint32_t id, Completion completion) {
    const auto rt = runtime(id);
    if (!rt->isRunning()) {
        if (completion) completion(true);
        return;
    }
    if (rt->stopping) {
        if (completion) completion(false);
        return;
    }
    rt->stopping = true;
    rt->stopAsked = true;
    hooks_.updateControls();

    std::weak_ptr<EngineController> weakSelf = weak_from_this();
    std::weak_ptr<ClientRuntime> weakRuntime = rt;
    std::weak_ptr<Dispatch> queue = dispatch_;
    const auto process = rt->process;
    const StopTimings timings = timings_;
    dispatch_->utility([=, completion = std::move(completion)] {
        engineCommand(id, std::string(host::kStop));
        waitForEnd(*process, timings.afterStop, timings.lookAgain);
        if (process->isRunning()) {
            process->terminate();
            waitForEnd(*process, timings.afterTerminate, timings.lookAgain);
        }
        if (process->isRunning()) {
            process->signal(SIGKILL);
            waitForEnd(*process, timings.afterKill, timings.lookAgain);
            // A killed host leaves its names behind, which for a deleted device would stay.
            if (!process->isRunning()) removeEngineLeftovers(id);
        }
        const bool stopped = !process->isRunning();
        const auto dispatch = queue.lock();
        if (!dispatch) return;
        dispatch->main([weakSelf, weakRuntime, stopped, completion] {
            const auto self = weakSelf.lock();
            if (!self) return;
            if (const auto rt = weakRuntime.lock()) {
                rt->stopping = false;
                if (stopped) {
                    rt->state = nlohmann::ordered_json{{"status", 6}};
                    rt->commandFailed = false;
                } else {
                    // The engine outlived the stop: its later end is no longer asked for.
                    rt->stopAsked = false;
                }
            }
            self->hooks_.updateControls();
            if (completion) completion(stopped);
        });
    });
}

void EngineController::toggle(uint32_t id) {
    if (groupBusy_) return;
    if (runtime(id)->isRunning())
        stop(id);
    else
        start(id);
}

}  // namespace vornisel
