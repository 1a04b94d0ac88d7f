// profiles.json (the legacy device list) decoding: a list of profiles or a DecodeError, nothing
// else; every decoded profile encodes and decodes to itself.
#include <nlohmann/json.hpp>

#include "fuzz_input.h"
#include "model/decode_error.h"
#include "model/panel_document.h"
#include "model/profile.h"

using namespace vornisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Profile> profiles;
    try {
        profiles = parseProfileList(fuzz::text(data, size));
    } catch (const DecodeError& error) {
        fuzz::require(std::string_view(error.what()).starts_with("profiles.json: "),
                      "a decode error names the file");
        return 0;
    }
    for (const Profile& profile : profiles) {
        const Profile again = decodeProfile(encodeProfile(profile), "profiles.json", "");
        fuzz::require(again == profile, "a profile reads back the same");
        const int blocks = profile.blocks();
        fuzz::require(blocks >= 1 && blocks <= 128, "blocks stay within 1..128");
    }
    return 0;
}
