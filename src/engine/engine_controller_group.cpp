// Starting and stopping all devices at once.
#include "engine/engine_controller.h"
#include "l10n/localizer.h"
#include "model/panel_store.h"

namespace vornisel {

void EngineController::toggleGroup() {
    const bool anyRunning = std::any_of(runtimes_.begin(), runtimes_.end(), [](const auto& entry) {
        return entry.second->isRunning();
    });
    if (anyRunning) {
        std::weak_ptr<EngineController> weakSelf = weak_from_this();
        stopGroup([weakSelf](bool stopped) {
            const auto self = weakSelf.lock();
            if (self && !stopped) self->hooks_.showNotice(tr("notice.exit_canceled"), true);
        });
        return;
    }
    // Copy the identifiers: a start may report a failure, and nothing here should depend on the
    // list staying put meanwhile.
    std::vector<uint32_t> ids;
    for (const auto& record : store_.clients())
        ids.push_back(record.id);
    for (uint32_t id : ids)
        start(id);
}

void EngineController::stopGroup(Completion completion) {
    if (groupBusy_) {
        if (completion) completion(false);
        return;
    }
    groupBusy_ = true;
    hooks_.updateControls();
    auto ids = std::make_shared<std::vector<uint32_t>>();
    for (const auto& [id, rt] : runtimes_)
        if (rt->isRunning()) ids->push_back(id);
    if (ids->empty()) return finishGroup(completion, true);
    stopNext(std::move(ids), 0, std::move(completion));
}

// One device after another: the next stop begins only when the previous one has completed.
void EngineController::stopNext(std::shared_ptr<std::vector<uint32_t>> ids, size_t index,
                                Completion completion) {
    std::weak_ptr<EngineController> weakSelf = weak_from_this();
    const uint32_t id = (*ids)[index];
    stop(id, [weakSelf, ids, index, completion](bool stopped) {
        const auto self = weakSelf.lock();
        if (!self) return;
        if (!stopped || index + 1 == ids->size()) return self->finishGroup(completion, stopped);
        self->stopNext(ids, index + 1, completion);
    });
}

void EngineController::finishGroup(const Completion& completion, bool stopped) {
    groupBusy_ = false;
    hooks_.updateControls();
    if (completion) completion(stopped);
}

}  // namespace vornisel
