#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "network/wire.h"
#include "peer.h"

namespace vornisel::server {

// The server's UDP socket, receiving and answering datagrams a batch at a time (recvmmsg /
// sendmmsg) into buffers allocated once. Only a receive waits, and never longer than kWaitMs.
class UdpEndpoint {
public:
    static constexpr size_t kBatch = 32;
    static constexpr int kWaitMs = 500;

    // Binds `address` (empty: every IPv6 and IPv4 address) and `port` (0: any free port).
    static std::optional<UdpEndpoint> open(const std::string& address, uint16_t port,
                                           std::string& error);
    UdpEndpoint(UdpEndpoint&& other) noexcept;
    UdpEndpoint& operator=(UdpEndpoint&&) = delete;
    ~UdpEndpoint();

    int fd() const { return fd_; }
    uint16_t port() const;

    // Waits up to kWaitMs for a datagram (a signal ends the wait sooner), then takes what else is
    // waiting, up to kBatch datagrams in all; returns how many.
    size_t receive();
    // The i-th received datagram; one larger than kMaxDatagram arrives empty.
    std::span<const uint8_t> datagram(size_t i) const;
    const Peer& peer(size_t i) const { return peers_[i]; }
    // The buffer for the answer to the i-th datagram, and its size once written (0: none).
    std::span<uint8_t> replyBuffer(size_t i) { return replies_[i]; }
    void setReply(size_t i, size_t size) { replySizes_[i] = size; }
    // Sends the answers written since the last receive.
    void sendReplies(size_t received);

private:
    explicit UdpEndpoint(int fd);

    int fd_ = -1;
    // One byte more than the largest datagram, so that a longer one shows as truncated.
    std::array<std::array<uint8_t, wire::kMaxDatagram + 1>, kBatch> buffers_{};
    std::array<std::array<uint8_t, wire::kMaxDatagram>, kBatch> replies_{};
    std::array<Peer, kBatch> peers_{};
    std::array<size_t, kBatch> sizes_{};
    std::array<size_t, kBatch> replySizes_{};
};

}  // namespace vornisel::server
