// The language-file parser and the lookups that use its values: any text loads, and every key it
// defined comes back filled with arguments without a crash; the platform words never survive.
#include "fuzz_input.h"
#include "l10n/localizer.h"

using namespace vornisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Localizer localizer;
    localizer.addEntries(fuzz::text(data, size));
    size_t looked = 0;
    for (const auto& [key, value] : localizer.values) {
        if (++looked > 64) break;
        fuzz::require(key.find('=') == std::string::npos, "a key holds no '='");
        const std::string shown = localizer.text(key, {"{1}", "ASIO", value});
        fuzz::require(shown.find("ASIO") == std::string::npos, "ASIO is rewritten");
        fuzz::require(shown.find("Windows") == std::string::npos, "Windows is rewritten");
    }
    return 0;
}
