#include "support/alsa_home.h"

#include <cstdlib>

namespace vornisel::test {

std::string demoAlsaConfig() {
    return readFile(sourceDir() / "resources/alsa/demo.asoundrc");
}

AlsaHome::AlsaHome(const std::string& config, const std::optional<std::string>& systemConfig)
    : systemConfig_(systemConfig.has_value()) {
    writeFile(dir_ / ".asoundrc", config);
    if (systemConfig) writeFile(dir_ / "system.conf", *systemConfig);
}

std::map<std::string, std::optional<std::string>> AlsaHome::environment() const {
    std::map<std::string, std::optional<std::string>> variables = {
        {"HOME", home().string()}, {"XDG_CONFIG_HOME", (home() / ".config").string()}};
    if (systemConfig_) variables["ALSA_CONFIG_PATH"] = (home() / "system.conf").string();
    return variables;
}

ScopedEnvironment::ScopedEnvironment(
    const std::map<std::string, std::optional<std::string>>& values) {
    for (const auto& [name, value] : values) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        setenv(name.c_str(), value->c_str(), 1);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

}  // namespace vornisel::test
