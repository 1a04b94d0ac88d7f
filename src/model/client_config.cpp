#include "model/client_config.h"

namespace vornisel {

std::string clientConfigText(const Profile& profile) {
    std::string text;
    text += "[network]\n";
    text += "server_ip=" + profile.server + "\n";
    text += "server_port=" + profile.port + "\n";
    text += "client_id=" + std::to_string(profile.id) + "\n";
    text += "[latency]\n";
    text += "client_latency_blocks=" + std::to_string(profile.blocks()) + "\n";
    text += "latency_mode=" + profile.latencyMode.value_or("Custom") + "\n";
    text += "[vornisel]\n";
    text += "driver_outputs=" + profile.driverOutputs + "\n";
    text += "driver_inputs=" + profile.driverInputs + "\n";
    text += "[coreaudio]\n";
    text += "device_uid=" + profile.device + "\n";
    text += "output_map=" + profile.outputMap + "\n";
    text += "input_map=" + profile.inputMap + "\n";
    return text;
}

}  // namespace vornisel
