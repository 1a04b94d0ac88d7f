#include "udp_endpoint.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vornisel::server {

namespace {

int bindSocket(const addrinfo& info) {
    const int fd = socket(info.ai_family, info.ai_socktype | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const timeval wait{0, UdpEndpoint::kWaitMs * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (info.ai_family == AF_INET6) {
        // One socket for both families, so that IPv4 engines and broadcasts reach it too.
        const int off = 0;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    }
    if (bind(fd, info.ai_addr, info.ai_addrlen) == 0) return fd;
    close(fd);
    return -1;
}

}  // namespace

std::optional<UdpEndpoint> UdpEndpoint::open(const std::string& address, uint16_t port,
                                             std::string& error) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_family = address.empty() ? AF_INET6 : AF_UNSPEC;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int status =
        getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
    if (status != 0) {
        error = "cannot use the address \"" + address + "\": " + gai_strerror(status);
        return std::nullopt;
    }
    int fd = -1;
    int lastErrno = 0;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = bindSocket(*a);
        lastErrno = errno;
    }
    freeaddrinfo(found);
    if (fd < 0 && address.empty()) return open("0.0.0.0", port, error);
    if (fd < 0) {
        error = "cannot listen on port " + service + ": " + std::strerror(lastErrno);
        return std::nullopt;
    }
    return UdpEndpoint(fd);
}

UdpEndpoint::UdpEndpoint(int fd) : fd_(fd) {}

UdpEndpoint::UdpEndpoint(UdpEndpoint&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

UdpEndpoint::~UdpEndpoint() {
    if (fd_ >= 0) close(fd_);
}

uint16_t UdpEndpoint::port() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

size_t UdpEndpoint::receive() {
    std::array<mmsghdr, kBatch> messages{};
    std::array<iovec, kBatch> vectors{};
    for (size_t i = 0; i < kBatch; ++i) {
        vectors[i] = {buffers_[i].data(), buffers_[i].size()};
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &peers_[i].address;
        messages[i].msg_hdr.msg_namelen = sizeof peers_[i].address;
    }
    // One wait for the first datagram, none for the rest: one system call per busy batch.
    const int received = recvmmsg(fd_, messages.data(), kBatch, MSG_WAITFORONE, nullptr);
    if (received <= 0) return 0;
    for (size_t i = 0; i < static_cast<size_t>(received); ++i) {
        const bool whole = (messages[i].msg_hdr.msg_flags & MSG_TRUNC) == 0;
        sizes_[i] = whole && messages[i].msg_len <= wire::kMaxDatagram ? messages[i].msg_len : 0;
        peers_[i].length = messages[i].msg_hdr.msg_namelen;
        replySizes_[i] = 0;
    }
    return static_cast<size_t>(received);
}

std::span<const uint8_t> UdpEndpoint::datagram(size_t i) const {
    return std::span(buffers_[i]).first(sizes_[i]);
}

void UdpEndpoint::sendReplies(size_t received) {
    std::array<mmsghdr, kBatch> messages{};
    std::array<iovec, kBatch> vectors{};
    size_t count = 0;
    for (size_t i = 0; i < received; ++i) {
        if (replySizes_[i] == 0) continue;
        vectors[count] = {replies_[i].data(), replySizes_[i]};
        messages[count].msg_hdr.msg_iov = &vectors[count];
        messages[count].msg_hdr.msg_iovlen = 1;
        messages[count].msg_hdr.msg_name = &peers_[i].address;
        messages[count].msg_hdr.msg_namelen = peers_[i].length;
        ++count;
    }
    // A full socket buffer or a vanished peer loses these answers, as UDP may; never wait for it.
    size_t sent = 0;
    while (sent < count) {
        const int n = sendmmsg(fd_, messages.data() + sent, count - sent, MSG_DONTWAIT);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            // Skip the answer that failed (an unreachable peer) and try the rest.
            ++sent;
            continue;
        }
        sent += static_cast<size_t>(n);
    }
}

}  // namespace vornisel::server
