#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vornisel::enginehost {

// How a test wants this host to misbehave (VORNISEL_HOST_FAULT, comma-separated).
struct Faults {
    bool ignoreStop = false;
    bool ignoreSigterm = false;
    bool silent = false;
    bool noReply = false;
    bool garbage = false;
    bool emptyObject = false;
    bool notOk = false;
    bool wrongClientId = false;
    bool wrongAbi = false;
    bool hugeReply = false;
    bool endlessReply = false;
    bool reset = false;
    bool badMagic = false;
    bool badVersion = false;
    bool badIdentity = false;
    bool shortStats = false;
    bool shrinkStats = false;
    // Every statistic but the identity published as the most negative number.
    bool negativeStats = false;
    // Writes tens of MiB to the output before serving, as a host gone wild would.
    bool floodLog = false;
    std::optional<double> exitAfter;
    int exitStatus = 3;
    // The "abiVersion" a wrong-abi host reports.
    int abi = 6;
};

// Everything the host is told: its command line, its configuration file and its environment.
struct HostOptions {
    std::string configPath;
    uint32_t clientId = 0;
    int parentPid = 0;
    // From the configuration file.
    int latencyBlocks = 2;
    std::vector<int> driverOutputs;
    std::vector<int> driverInputs;
    std::string server;
    std::string port;
    std::string device;
    std::vector<int> outputMap;
    std::vector<int> inputMap;
    // From the environment. Only tests set VORNISEL_HOST_SIMULATE: the host then plays a
    // pretend engine instead of opening the device and the network.
    bool simulate = false;
    int startingMs = 200;
    int waitingMs = 1500;
    // Wished for; the real engine reports what the device gave.
    int sampleRate = 48000;
    int blockFrames = 64;
    Faults faults;
};

// The exact six arguments; nothing on any other command line, with the reason in `error`.
std::optional<HostOptions> parseCommandLine(int argc, char** argv, std::string& error);
// Reads the 14-line configuration file into `options`; false with the reason in `error`.
bool readConfiguration(HostOptions& options, std::string& error);
// Reads the VORNISEL_HOST_* variables; false with the reason for an unknown fault.
bool readEnvironment(HostOptions& options, std::string& error);

}  // namespace vornisel::enginehost
