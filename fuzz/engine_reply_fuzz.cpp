// The command channel's reply validation, fed what a hostile or broken engine host might send.
// The first byte picks the command. An accepted reply must be an object with "ok" true (and for
// GET_STATE the right identity and ABI); it then becomes a runtime's state, which the card texts,
// the recommendation and the support bundle's dump must all survive.
#include "engine/client_runtime.h"
#include "engine/engine_command.h"
#include "fuzz_input.h"
#include "model/profile.h"

using namespace vornisel;

namespace {

constexpr uint32_t kId = 42;

void useAsState(const nlohmann::ordered_json& reply) {
    ClientRuntime runtime;
    runtime.state = reply;
    (void)runtime.status();
    (void)runtime.health();
    (void)runtime.latency(Profile{.id = kId, .latency = "6"});
    (void)runtime.recommendation(6);
    for (const char* key : {"status", "health", "sampleRate", "blockFrames"})
        (void)runtime.value(key);
    (void)runtime.state.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* const commands[] = {"GET_STATE", "STOP", "OTHER"};
    const std::string_view command = commands[data[0] % 3];
    const auto reply = parseEngineReply(fuzz::text(data + 1, size - 1), kId, command);
    if (!reply) return 0;
    fuzz::require(reply->is_object(), "a reply is an object");
    const auto ok = reply->find("ok");
    fuzz::require(ok != reply->end() && ok->is_boolean() && ok->get<bool>(), "ok is true");
    if (command == "GET_STATE") {
        fuzz::require(reply->at("clientId") == kId, "a state reply is for this device");
        fuzz::require(reply->at("abiVersion") == 5, "a state reply speaks ABI 5");
    }
    useAsState(*reply);
    return 0;
}
