#include "model/client_config.h"

#include <gtest/gtest.h>

namespace vornisel {
namespace {

TEST(ClientConfigTest, WritesTheFourteenLinesVerbatim) {
    struct Case {
        Profile profile;
        std::string text;
    };
    const std::vector<Case> cases = {
        {Profile{.id = 7,
                 .device = "BuiltInSpeakerDevice",
                 .driverOutputs = "0,1",
                 .outputMap = "0,1",
                 .latencyMode = "Stable"},
         "[network]\nserver_ip=auto\nserver_port=28010\nclient_id=7\n[latency]\n"
         "client_latency_blocks=2\nlatency_mode=Stable\n[vornisel]\ndriver_outputs=0,1\n"
         "driver_inputs=\n[coreaudio]\ndevice_uid=BuiltInSpeakerDevice\noutput_map=0,1\n"
         "input_map=\n"},
        {Profile{.id = 4294967295u,
                 .server = "10.0.0.2",
                 .port = "x1",
                 .latency = "ab",
                 .driverOutputs = "0, 1",
                 .outputMap = "2, 3",
                 .driverInputs = "4",
                 .inputMap = "5"},
         "[network]\nserver_ip=10.0.0.2\nserver_port=x1\nclient_id=4294967295\n[latency]\n"
         "client_latency_blocks=6\nlatency_mode=Custom\n[vornisel]\ndriver_outputs=0, 1\n"
         "driver_inputs=4\n[coreaudio]\ndevice_uid=\noutput_map=2, 3\ninput_map=5\n"},
        {Profile{.id = 0, .latency = "100", .latencyMode = "Safe"},
         "[network]\nserver_ip=auto\nserver_port=28010\nclient_id=0\n[latency]\n"
         "client_latency_blocks=4\nlatency_mode=Safe\n[vornisel]\ndriver_outputs=\n"
         "driver_inputs=\n[coreaudio]\ndevice_uid=\noutput_map=\ninput_map=\n"},
    };
    for (const auto& c : cases) {
        const std::string text = clientConfigText(c.profile);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14);
    }
}

}  // namespace
}  // namespace vornisel
