#pragma once

#include <map>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace vornisel::test {

// The repository's demo ALSA configuration: demo_stereo 2/2, demo_studio 8/8, demo_speakers 0/2,
// plus a Vornisel loopback and a hidden helper that must not be listed.
std::string demoAlsaConfig();

// A temporary home directory whose ~/.asoundrc is `config`, so that ALSA (and the user
// configuration it reads) sees only what the test wrote. With `systemConfig`, that file stands
// in for the system's ALSA configuration (through ALSA_CONFIG_PATH).
class AlsaHome {
public:
    explicit AlsaHome(const std::string& config,
                      const std::optional<std::string>& systemConfig = std::nullopt);

    const std::filesystem::path& home() const { return dir_.path(); }
    // The variables a child needs to use this home.
    std::map<std::string, std::optional<std::string>> environment() const;

private:
    TempDir dir_;
    bool systemConfig_ = false;
};

// Sets environment variables (each with a value) while it lives, restoring the previous values
// afterwards.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::map<std::string, std::optional<std::string>>& values);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// Points this process at `home` while it lives.
class ScopedAlsaHome : public ScopedEnvironment {
public:
    explicit ScopedAlsaHome(const AlsaHome& home) : ScopedEnvironment(home.environment()) {}
};

}  // namespace vornisel::test
