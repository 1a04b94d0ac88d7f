// The one-second polling of running engines and applying a latency recommendation.
#include <algorithm>

#include "engine/engine_command.h"
#include "engine/engine_controller.h"
#include "engine/host_contract.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"
#include "model/panel_store.h"

namespace vornisel {

namespace {

constexpr auto kHistory = std::chrono::seconds(60);

void applyPoll(ClientRuntime& rt, std::optional<nlohmann::ordered_json> reply,
               std::optional<Telemetry> snapshot) {
    rt.commandFailed = !reply;
    if (reply) rt.state = std::move(*reply);
    if (!snapshot) return;
    rt.samples.push_back(*snapshot);
    const auto oldest = Telemetry::Clock::now() - kHistory;
    std::erase_if(rt.samples, [oldest](const Telemetry& sample) { return sample.time < oldest; });
}

}  // namespace

void EngineController::poll() {
    std::weak_ptr<EngineController> weakSelf = weak_from_this();
    std::weak_ptr<Dispatch> queue = dispatch_;
    const auto now = std::chrono::steady_clock::now();
    for (const auto& [id, rt] : runtimes_) {
        if (!rt->isRunning() || rt->stopping) continue;
        // One poll at a time; one that does not come back (a worker stuck in a system call)
        // shows as an engine that does not answer, and later ticks skip the device.
        if (rt->polling) {
            if (!rt->commandFailed &&
                now - rt->pollStarted > std::chrono::duration<double>(timings_.unansweredPoll)) {
                rt->commandFailed = true;
                hooks_.updateControls();
            }
            continue;
        }
        rt->polling = true;
        rt->pollStarted = now;
        std::weak_ptr<Process> task = rt->process;
        std::weak_ptr<ClientRuntime> weakRuntime = rt;
        dispatch_->utility([id = id, task, weakSelf, weakRuntime, queue] {
            auto reply = engineCommand(id, std::string(host::kGetState));
            auto snapshot = Telemetry::read(id);
            const auto dispatch = queue.lock();
            if (!dispatch) return;
            dispatch->main([task, weakSelf, weakRuntime, reply = std::move(reply),
                            snapshot = std::move(snapshot)]() mutable {
                const auto self = weakSelf.lock();
                const auto rt = weakRuntime.lock();
                if (!self || !rt) return;
                rt->polling = false;
                // A result for a task that has since been replaced belongs to nobody.
                if (!rt->process || rt->process != task.lock()) return;
                if (!rt->isRunning() || rt->stopping) return;
                applyPoll(*rt, std::move(reply), std::move(snapshot));
                self->hooks_.updateControls();
            });
        });
    }
}

void EngineController::applyRecommendation(uint32_t id) {
    auto& clients = store_.clients();
    const auto found =
        std::find_if(clients.begin(), clients.end(), [id](const Profile& p) { return p.id == id; });
    if (found == clients.end()) return;
    const size_t position = static_cast<size_t>(found - clients.begin());
    const auto proposal = runtime(id)->recommendation(found->blocks());
    if (!proposal) return;
    const int proposed = proposal->first;
    const bool wasRunning = runtime(id)->isRunning();
    std::weak_ptr<EngineController> weakSelf = weak_from_this();
    stop(id, [weakSelf, id, position, proposed, wasRunning](bool stopped) {
        const auto self = weakSelf.lock();
        if (!self) return;
        if (!stopped) {
            self->hooks_.showNotice(tr("notice.latency_apply_stop_failed"), true);
            return;
        }
        // The list may have changed during a slow stop: the record must still be this device.
        auto& records = self->store_.clients();
        if (position >= records.size() || records[position].id != id) return;
        records[position].latencyMode = "Custom";
        records[position].latency = std::to_string(proposed);
        try {
            self->store_.save();
        } catch (const std::exception& error) {
            self->hooks_.showNotice(errorText(error), true);
            return;
        }
        self->hooks_.rebuildCards();
        if (wasRunning) self->start(id);
        self->hooks_.showNotice(tr(proposed == 1 ? "notice.latency_recommendation_applied_one"
                                                 : "notice.latency_recommendation_applied",
                                   proposed),
                                false);
    });
}

}  // namespace vornisel
