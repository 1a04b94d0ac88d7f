#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "network/monotonic.h"
#include "network/wire.h"

namespace vornisel::enginehost {

// Answers discovery and probes and sends back every audio block with all its samples at half
// scale, until told to answer with bytes that are no datagram.
class StandInServer {
public:
    enum class Mode { answer, garbage };

    StandInServer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~StandInServer() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    void setMode(Mode mode) { mode_ = mode; }
    int garbageSent() const { return garbage_; }

private:
    void serve() {
        std::array<uint8_t, wire::kMaxDatagram> in{}, out{};
        std::array<float, wire::kMaxDatagram> samples{};
        while (!stopping_) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(fd_, in.data(), in.size(), 0,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            auto datagram = wire::parse(std::span(in.data(), n > 0 ? size_t(n) : 0));
            if (!datagram) continue;
            size_t size = 0;
            if (mode_ == Mode::garbage) {
                size = std::min<size_t>(in.size(), static_cast<size_t>(n));
                std::fill(out.begin(), out.begin() + static_cast<ptrdiff_t>(size), 0x5A);
                ++garbage_;
            } else if (datagram->kind == wire::Kind::discover) {
                size = wire::encodeAnnounce(out, datagram->stamp,
                                            {static_cast<uint16_t>(port_), 1, 64});
            } else if (datagram->kind == wire::Kind::probe) {
                size = wire::encodeProbeReply(
                    out, datagram->stamp,
                    {datagram->probe.clientSendUs, static_cast<uint64_t>(monotonicMicros())});
            } else if (datagram->kind == wire::Kind::audio) {
                const size_t count = size_t(datagram->frames) * datagram->channels;
                std::fill(samples.begin(), samples.begin() + static_cast<ptrdiff_t>(count), 0.5f);
                size = wire::encodeAudio(out, datagram->stamp, datagram->format, datagram->channels,
                                         std::span(samples.data(), count));
            }
            ::sendto(fd_, out.data(), size, 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<Mode> mode_{Mode::answer};
    std::atomic<int> garbage_{0};
    std::thread thread_;
};

}  // namespace vornisel::enginehost
