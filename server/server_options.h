#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vornisel::server {

struct ServerOptions {
    uint16_t port = 28010;
    std::string bind;  // empty: every address
    bool dnssd = true;
    std::string name;             // the DNS-SD instance name; empty: "Vornisel server on <host>"
    std::string user = "nobody";  // whom to become when started as root
    bool help = false;
};

// Empty with `error` set for an unknown option or a bad value.
std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& arguments,
                                                std::string& error);
const char* serverUsage();

}  // namespace vornisel::server
