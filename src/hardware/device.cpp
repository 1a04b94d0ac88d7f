#include "hardware/device.h"

#include <alsa/asoundlib.h>

#include <mutex>
#include <nlohmann/json.hpp>

#include "hardware/alsa_sound_cards.h"
#include "hardware/alsa_system_pcms.h"
#include "hardware/alsa_user_pcms.h"
#include "hardware/device_candidate.h"

namespace vornisel {

namespace {

void discardAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// One listing's dealings with ALSA. ALSA reports every failed open on standard error; probing
// fails routinely (a direction that does not exist, a device in use) and none of it is the
// user's concern, so its messages are dropped meanwhile. The handler is process-wide (the
// per-thread one is unusable from C++ with this ALSA's headers), so listings take turns; nothing
// else here talks to ALSA.
class AlsaListing {
public:
    AlsaListing() : turn_(mutex()), previous_(snd_lib_error) {
        snd_lib_error_set_handler(discardAlsaMessage);
        // ALSA caches its configuration and would not notice an edited ~/.asoundrc (nor a
        // different home); dropping the cache makes every listing read it afresh.
        snd_config_update_free_global();
    }
    ~AlsaListing() {
        // The cache is large and listings are rare. Nothing of ours holds ALSA open by now.
        snd_config_update_free_global();
        snd_lib_error_set_handler(previous_);
    }
    AlsaListing(const AlsaListing&) = delete;
    AlsaListing& operator=(const AlsaListing&) = delete;

private:
    static std::mutex& mutex() {
        static std::mutex listings;
        return listings;
    }

    std::lock_guard<std::mutex> turn_;
    snd_lib_error_handler_t previous_;
};

std::optional<std::vector<DeviceCandidate>> alsaCandidates() {
    AlsaListing listing;
    auto listed = soundCardCandidates();
    if (!listed) return std::nullopt;
    // The user's PCMs, then the system's that are not listed yet, all probed in one round.
    std::vector<ConfiguredPcm> configured = userPcms();
    std::vector<std::string> taken;
    for (const DeviceCandidate& card : *listed)
        taken.push_back(card.uid);
    for (const ConfiguredPcm& pcm : configured)
        taken.push_back(pcm.name);
    for (ConfiguredPcm& pcm : systemPcms(taken))
        configured.push_back(std::move(pcm));
    for (DeviceCandidate& candidate : configuredCandidates(configured))
        listed->push_back(std::move(candidate));
    return listed;
}

}  // namespace

std::vector<Device> devices() {
    try {
        return serviceableDevices(alsaCandidates());
    } catch (const std::exception&) {
        // Only allocation can throw here; the listing never fails, it comes out empty.
        return {};
    }
}

std::string deviceListJSON(const std::vector<Device>& list) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Device& device : list) {
        array.push_back({{"uid", device.uid},
                         {"name", device.name},
                         {"inputs", device.inputs},
                         {"outputs", device.outputs}});
    }
    // Names come from drivers and configuration files; a stray invalid byte must not make the
    // listing fail, so it is replaced.
    return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace vornisel
