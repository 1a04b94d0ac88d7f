#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/client_runtime.h"
#include "engine/process.h"
#include "l10n/localizer.h"
#include "model/profile.h"
#include "support/temp_dir.h"

namespace vornisel::test {

// A runtime whose engine "runs": a real idle child process stands in for the engine host, so
// isRunning() answers as it would for a launched engine.
inline std::shared_ptr<ClientRuntime> runningRuntime(nlohmann::ordered_json state) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->process = Process::create("/bin/sleep", {"120"});
    EXPECT_TRUE(runtime->process->launch());
    runtime->state = std::move(state);
    return runtime;
}

// Ends the stand-in child of a runtime made by runningRuntime.
inline void stopRuntime(ClientRuntime& runtime) {
    if (!runtime.process) return;
    runtime.process->terminate();
    runtime.process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
}

// Stops the child when the test ends, whatever happens in between.
struct RuntimeGuard {
    std::shared_ptr<ClientRuntime> runtime;
    ~RuntimeGuard() {
        if (runtime) stopRuntime(*runtime);
    }
};

inline Profile cardProfile(const std::string& inputs = "0,1", const std::string& outputs = "0,1",
                           uint32_t id = 1004) {
    Profile profile;
    profile.id = id;
    profile.name = "Studio A";
    profile.latency = "6";
    profile.driverInputs = inputs;
    profile.driverOutputs = outputs;
    return profile;
}

inline nlohmann::ordered_json levelEntry(int channel, nlohmann::ordered_json peak) {
    return {{"driverChannel", channel}, {"peakMilli", std::move(peak)}};
}

inline Telemetry sample(const std::map<std::string, int64_t>& values) {
    return Telemetry(values);
}

// English texts from the source tree, so tests see what a user reads.
inline void loadEnglish() {
    Localizer::shared().load("en", sourceDir() / "resources");
}

}  // namespace vornisel::test
