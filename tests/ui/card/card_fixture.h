#pragma once

#include <gtest/gtest.h>

#include <chrono>
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
// isRunning() answers as it would for a launched engine. The child ends with the guard.
struct RunningRuntime {
    std::shared_ptr<ClientRuntime> runtime = std::make_shared<ClientRuntime>();
    explicit RunningRuntime(nlohmann::ordered_json state) {
        runtime->process = Process::create("/bin/sleep", {"120"});
        EXPECT_TRUE(runtime->process->launch());
        runtime->state = std::move(state);
    }
    ~RunningRuntime() { stop(); }
    void stop() {
        runtime->process->terminate();
        runtime->process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    }
};

inline Profile cardProfile(const std::string& inputs = "0,1", const std::string& outputs = "0,1") {
    return {.id = 1004,
            .name = "Studio A",
            .latency = "6",
            .driverOutputs = outputs,
            .driverInputs = inputs};
}

inline nlohmann::ordered_json levelEntry(int channel, nlohmann::ordered_json peak) {
    return {{"driverChannel", channel}, {"peakMilli", std::move(peak)}};
}

// English texts from the source tree, so tests see what a user reads.
class CardTest : public ::testing::Test {
protected:
    void SetUp() override { Localizer::shared().load("en", sourceDir() / "resources"); }
};

}  // namespace vornisel::test
