#include "hardware/device.h"

#include <gtest/gtest.h>

#include "support/alsa_home.h"

namespace vornisel {

void PrintTo(const Device& device, std::ostream* out) {
    *out << device.uid << " \"" << device.name << "\" " << device.inputs << "/" << device.outputs;
}

namespace {

using test::AlsaHome;
using test::ScopedAlsaHome;

// Devices of the test's own configuration; a machine's real sound cards come first and are left
// aside so that the test means the same everywhere.
std::vector<Device> configuredDevices() {
    std::vector<Device> result;
    for (Device& device : devices()) {
        if (!device.uid.starts_with("hw:CARD=")) result.push_back(std::move(device));
    }
    return result;
}

// PCMs that accept any channel count are bounded, ones that cannot be opened are left out, and
// an edited configuration counts on the next call.
TEST(DeviceTest, ReadsTheConfigurationAnewOnEachCall) {
    AlsaHome home(R"(
pcm.anything { type null hint { show on description "Anything" } }
pcm.playback_only { type asym playback.pcm "anything" hint { show on } }
pcm.broken { type no_such_plugin_type hint { show on description "Broken" } }
)");
    ScopedAlsaHome scoped(home);
    EXPECT_EQ(configuredDevices(),
              (std::vector<Device>{{"anything", "Anything", 32, 32},
                                   {"playback_only", "playback_only", 0, 32}}));
    test::writeFile(home.home() / ".config/alsa/asoundrc", "pcm.anything.hint.show off\n");
    EXPECT_EQ(configuredDevices(),
              (std::vector<Device>{{"playback_only", "playback_only", 0, 32}}));
}

TEST(DeviceTest, WritesThePrettyPrintedListing) {
    EXPECT_EQ(deviceListJSON({}), "[]\n");
    const std::string expected = R"([
  {
    "uid": "demo",
    "name": "Demo \"Analog\"",
    "inputs": 2,
    "outputs": 8
  }
]
)";
    EXPECT_EQ(deviceListJSON({{"demo", "Demo \"Analog\"", 2, 8}}), expected);
    EXPECT_EQ(deviceListJSON({{"bad\xff", "x", 1, 1}}).find("\xff"), std::string::npos);
}

}  // namespace
}  // namespace vornisel
