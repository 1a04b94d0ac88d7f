// The engine operations, forwarded to the EngineController, which reports back through the
// window hooks this controller implements (updateControls, showNotice, rebuildCards).
#include "app/client_app.h"
#include "base/app_bundle.h"
#include "engine/engine_controller.h"

namespace vornisel {

std::filesystem::path ClientApp::hostURL() const {
    return engines_ ? engines_->hostURL()
                    : AppBundle::location() / "Contents" / "MacOS" / "vornisel_macos_engine_host";
}

std::shared_ptr<ClientRuntime> ClientApp::runtime(uint32_t id) {
    return engines_->runtime(id);
}

std::map<uint32_t, std::shared_ptr<ClientRuntime>>& ClientApp::runtimes() {
    return engines_->runtimes();
}

bool ClientApp::groupBusy() const {
    return engines_ && engines_->groupBusy();
}

bool ClientApp::anyRunning() const {
    if (!engines_) {
        return false;
    }
    for (const auto& [id, rt] : engines_->runtimes()) {
        if (rt->isRunning()) {
            return true;
        }
    }
    return false;
}

void ClientApp::start(uint32_t id) {
    if (engines_) {
        engines_->start(id);
    }
}

void ClientApp::stop(uint32_t id, std::function<void(bool)> completion) {
    if (engines_) {
        engines_->stop(id, std::move(completion));
    } else if (completion) {
        completion(true);
    }
}

void ClientApp::toggle(uint32_t id) {
    if (engines_) {
        engines_->toggle(id);
    }
}

void ClientApp::toggleGroup() {
    if (engines_) {
        engines_->toggleGroup();
    }
}

void ClientApp::stopGroup(std::function<void(bool)> completion) {
    if (engines_) {
        engines_->stopGroup(std::move(completion));
    } else if (completion) {
        completion(true);
    }
}

void ClientApp::poll() {
    if (engines_) {
        engines_->poll();
    }
}

void ClientApp::applyRecommendation(uint32_t id) {
    if (engines_) {
        engines_->applyRecommendation(id);
    }
}

}  // namespace vornisel
