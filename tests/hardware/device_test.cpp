#include "hardware/device.h"

#include <gtest/gtest.h>

#include "base/app_bundle.h"
#include "support/alsa_home.h"

namespace vornisel {

void PrintTo(const Device& device, std::ostream* out) {
    *out << device.uid << " \"" << device.name << "\" " << device.inputs << "/" << device.outputs;
}

namespace {

using test::AlsaHome;
using test::ScopedAlsaHome;
using test::ScopedEnvironment;

// Devices of the test's own configuration; a machine's real sound cards come first and are left
// aside so that the test means the same everywhere.
std::vector<Device> configuredDevices() {
    std::vector<Device> result;
    for (Device& device : devices()) {
        if (!device.uid.starts_with("hw:CARD=")) result.push_back(std::move(device));
    }
    return result;
}

// A whole ALSA world of the test's own: the system's files stand in for the distribution's (a
// default, a resampler, an upmixer and a sound server), the user's file is the user's.
constexpr const char* kSystemConfig = R"conf(
@hooks [ { func load files [ "~/.asoundrc" ] errors false } ]
pcm.!default { type null chmap [ "FL,FR,FC,LFE" ] hint.description "Default ALSA Output" }
pcm.speexrate { type null hint.description "Rate Converter Plugin Using Speex Resampler" }
pcm.upmix { type plug slave.pcm "default" hint.description "Plugin for channel upmix (4,6,8)" }
pcm.pipewire { type pipewire hint.description "PipeWire Sound Server" }
)conf";
constexpr const char* kUserConfig = R"conf(
pcm.mine { type null hint.description "Mine" }
pcm.surround { type null chmap [ "FL,FR,FC,LFE,RL,RR" ] hint.description "Surround" }
pcm.menu { type null chmap [ "FL,FR" "FL,FR,FC,LFE" ] hint.description "Menu" }
pcm.playback_only { type asym playback.pcm "surround" hint.show on }
pcm.broken { type no_such_plugin_type hint.description "Broken" }
)conf";

TEST(DeviceTest, OffersTheUsersPcmsAndOfTheSystemsOnlyTheDefaultAndAnsweringServers) {
    AppBundle::setLocation(test::bundleDir());  // the listing probes through its helper
    AlsaHome home(kUserConfig, kSystemConfig);
    ScopedAlsaHome scoped(home);
    test::TempDir runtime;
    // No sound server answers there, whatever runs on the machine.
    ScopedEnvironment noServer({{"XDG_RUNTIME_DIR", runtime.path().string()}});
    // A range counts by the one layout its channel map gives, else as a stereo pair; what cannot
    // be opened is left out.
    const std::vector<Device> expected = {
        {"mine", "Mine", 2, 2},
        {"surround", "Surround", 6, 6},
        {"menu", "Menu", 2, 2},
        {"playback_only", "playback_only", 0, 6},
        {"default", "Default ALSA Output", 4, 4},
    };
    EXPECT_EQ(configuredDevices(), expected);
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
