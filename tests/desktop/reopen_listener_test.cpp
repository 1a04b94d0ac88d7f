#include "desktop/reopen_listener.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <future>
#include <optional>

#include "desktop/single_instance.h"
#include "support/temp_dir.h"

namespace vornisel {
namespace {

using namespace std::chrono_literals;
using Reopen = SingleInstance::Reopen;

// A second launch hands its launcher's token to the running panel, which acts and answers; a
// value that could not travel whole is left out rather than cut.
TEST(ReopenListenerTest, ASecondLaunchPassesItsTokenToTheRunningPanel) {
    test::TempDir temp;
    const SingleInstance panel(temp / "data", temp.path());
    const SingleInstance second(temp / "data", temp.path());
    std::optional<LaunchToken> received;
    ReopenListener listener([&](const LaunchToken& token) { received = token; });
    ASSERT_EQ(listener.listen(panel.socketPath()), "");
    const std::vector<std::pair<LaunchToken, LaunchToken>> cases = {
        {{"host-42_TIME1234", ""}, {"host-42_TIME1234", ""}},
        {{"", "wl:token=x"}, {"", "wl:token=x"}},
        {{"id with space", std::string(256, 't')}, {"", ""}},
        {{}, {}},
    };
    for (const auto& [sent, expected] : cases) {
        received.reset();
        auto reply = std::async(std::launch::async, [&] { return second.requestReopen(5s, sent); });
        while (reply.wait_for(5ms) != std::future_status::ready)
            QCoreApplication::processEvents();
        EXPECT_EQ(reply.get(), Reopen::answered) << sent.startupId;
        ASSERT_TRUE(received.has_value()) << sent.startupId;
        EXPECT_EQ(*received, expected) << sent.startupId;
    }
    // Lines that are not a reopen request.
    for (const char* line : {"reopen", "reopened\n", "open DESKTOP_STARTUP_ID=a\n", ""}) {
        EXPECT_EQ(parseReopenRequest(line), std::nullopt) << line;
    }
}

}  // namespace
}  // namespace vornisel
