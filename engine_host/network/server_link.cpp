#include "network/server_link.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <random>

#include "network/monotonic.h"
#include "network/server_address.h"

namespace vornisel::enginehost {

namespace {

constexpr int64_t kProbeIntervalUs = 100000;
constexpr int64_t kProbeTimeoutUs = 1000000;
// A new clock offset replaces the kept one when its round trip is not much worse, or when the
// kept one is old: the offset of the quickest round trip is the most exact.
constexpr int64_t kOffsetKeepUs = 2000000;
constexpr int kPollMs = 20;
constexpr int64_t kRetryUs = 1000000;

// The sample format for a block: 24 bits when it fits one datagram, else 16 bits, else none.
wire::Format formatFor(size_t channels, size_t frames) {
    if (wire::maxFrames(wire::Format::s24, channels) >= frames) return wire::Format::s24;
    if (wire::maxFrames(wire::Format::s16, channels) >= frames) return wire::Format::s16;
    return wire::Format::none;
}

}  // namespace

// The server tells streams apart by a random id of each engine's run: a restarted engine is
// a new client there.
static uint32_t streamId() {
    std::random_device random;
    uint32_t id = 0;
    while (id == 0)
        id = random();
    return id;
}

ServerLink::ServerLink(Settings settings, JitterQueue& queue)
    : settings_(std::move(settings)),
      streamId_(streamId()),
      queue_(queue),
      scratch_(new float[wire::kMaxDatagram]),
      scratchSize_(wire::kMaxDatagram) {
    for (size_t i = 0; i < kSendBatch; ++i) {
        audioVectors_[i] = {audioOut_[i].data(), 0};
        audioMessages_[i].msg_hdr.msg_iov = &audioVectors_[i];
        audioMessages_[i].msg_hdr.msg_iovlen = 1;
    }
    for (size_t i = 0; i < kReceiveBatch; ++i) {
        receiveVectors_[i] = {received_[i].data(), received_[i].size()};
        receiveMessages_[i].msg_hdr.msg_iov = &receiveVectors_[i];
        receiveMessages_[i].msg_hdr.msg_iovlen = 1;
        receiveMessages_[i].msg_hdr.msg_control = receiveControl_[i].bytes;
    }
    thread_ = std::thread(&ServerLink::run, this);
}

ServerLink::~ServerLink() {
    stopping_ = true;
    thread_.join();
    const int fd = fd_.exchange(-1);
    if (fd >= 0) {
        const size_t size = wire::encodeLeave(
            probeOut_, {streamId_, probeSequence_, static_cast<uint64_t>(monotonicMicros())});
        if (size > 0) ::send(fd, probeOut_.data(), size, MSG_DONTWAIT | MSG_NOSIGNAL);
        ::close(fd);
    }
}

std::string ServerLink::serverName() const {
    std::lock_guard lock(nameMutex_);
    return serverName_;
}

bool ServerLink::connectToServer() {
    std::string name;
    auto address = findServer(settings_.server, settings_.port, stopping_, name);
    if (!address) return false;
    const int fd =
        ::socket(address->storage.ss_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    // Connected: the kernel passes on only the server's datagrams.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address->storage), address->length) != 0) {
        ::close(fd);
        return false;
    }
    {
        std::lock_guard lock(nameMutex_);
        serverName_ = name;
    }
    std::cout << "engine host " << settings_.clientId << ": sending to the server at " << name
              << std::endl;
    fd_ = fd;
    return true;
}

void ServerLink::run() {
    int64_t nextProbe = 0;
    int64_t nextTry = 0;
    while (!stopping_) {
        if (fd_ < 0) {
            const int64_t now = monotonicMicros();
            if (now < nextTry || !connectToServer()) {
                if (now >= nextTry) nextTry = now + kRetryUs;
                ::usleep(kPollMs * 1000);
                continue;
            }
        }
        if (audioReceives_) {
            // The audio thread takes the datagrams in; only what it left is ours, and this thread
            // need only wake for the next probe.
            const int64_t wait =
                std::clamp<int64_t>(nextProbe - monotonicMicros(), 0, kProbeIntervalUs);
            ::usleep(static_cast<useconds_t>(wait));
            tryReceive();
        } else {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, kPollMs) > 0) tryReceive();
        }
        const int64_t now = monotonicMicros();
        expireProbes(now);
        if (now >= nextProbe) {
            sendProbe(now);
            nextProbe = now + kProbeIntervalUs;
        }
    }
}

void ServerLink::receiveOnAudioThread() {
    if (fd_.load(std::memory_order_acquire) < 0) return;
    audioReceives_.store(true, std::memory_order_relaxed);
    tryReceive();
}

void ServerLink::tryReceive() {
    if (receiving_.exchange(true, std::memory_order_acquire)) return;
    receive();
    receiving_.store(false, std::memory_order_release);
}

void ServerLink::receive() {
    // Everything waiting, in batches whose last short one shows the socket is empty, but a
    // bounded number, so a flood cannot hold the probes up.
    for (int round = 0; round < 8; ++round) {
        for (size_t i = 0; i < kReceiveBatch; ++i)
            receiveMessages_[i].msg_hdr.msg_controllen = sizeof(Control);
        const int count =
            ::recvmmsg(fd_, receiveMessages_.data(), kReceiveBatch, MSG_DONTWAIT, nullptr);
        if (count <= 0) return;  // nothing, or the server's port is closed (ECONNREFUSED)
        const int64_t now = monotonicMicros();
        timespec wall{};
        clock_gettime(CLOCK_REALTIME, &wall);
        const int64_t wallUs = static_cast<int64_t>(wall.tv_sec) * 1000000 + wall.tv_nsec / 1000;
        for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
            auto datagram =
                wire::parse(std::span(received_[i].data(), receiveMessages_[i].msg_len));
            if (!datagram) continue;
            const int64_t arrived = arrivalUs(receiveMessages_[i].msg_hdr, now, wallUs);
            if (datagram->kind == wire::Kind::audio)
                onAudio(*datagram, arrived);
            else if (datagram->kind == wire::Kind::probeReply)
                onProbeReply(*datagram, arrived);
        }
        if (static_cast<size_t>(count) < kReceiveBatch) return;
    }
}

// The kernel's stamp is on the wall clock; moved to the monotonic one by their difference now.
// Without a stamp, or with one the wall clock's steps made implausible, the time of reading.
int64_t ServerLink::arrivalUs(msghdr& message, int64_t nowUs, int64_t wallUs) const {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        const int64_t ago =
            wallUs - (static_cast<int64_t>(stamp.tv_sec) * 1000000 + stamp.tv_nsec / 1000);
        if (ago >= 0 && ago < kProbeTimeoutUs) return nowUs - ago;
    }
    return nowUs;
}

void ServerLink::onAudio(const wire::Datagram& datagram, int64_t receivedUs) {
    const uint32_t sequence = datagram.stamp.sequence;
    const uint64_t sent =
        sentBlocks_[sequence % sentBlocks_.size()].load(std::memory_order_acquire);
    const size_t offset =
        sentOffsets_[sequence % sentBlocks_.size()].load(std::memory_order_relaxed);
    const auto frames = static_cast<size_t>(queue_.frames());
    const bool whole = offset == 0 && datagram.frames % frames == 0;
    if (sent >> 32 != sequence || (!whole && offset + datagram.frames > frames)) return;
    const size_t count = wire::decodeSamples(datagram, std::span(scratch_.get(), scratchSize_));
    if (count == 0) return;
    // The mix answers one of our datagrams and carries its send time: the time it took to come
    // back is the age of what we hear, and the server sent it about half-way.
    const auto sentUs = static_cast<int64_t>(datagram.stamp.timestampUs);
    const int64_t age = receivedUs - sentUs;
    const bool ours = sentUs > 0 && age >= 0 && age < kProbeTimeoutUs;
    const int64_t origin = ours ? sentUs + age / 2 : 0;
    const size_t blockSamples = frames * datagram.channels;
    const auto firstBlock = static_cast<uint32_t>(sent);
    if (!whole)
        queue_.pushPart(firstBlock, static_cast<int>(offset),
                        std::span<const float>(scratch_.get(), count), datagram.channels,
                        receivedUs, origin);
    for (size_t b = 0; whole && b * blockSamples < count; ++b)
        queue_.push(firstBlock + static_cast<uint32_t>(b),
                    std::span<const float>(scratch_.get() + b * blockSamples, blockSamples),
                    datagram.channels, receivedUs, origin);
    lastReplyUs_ = receivedUs;
    lastAudioInUs_ = receivedUs;
    const int64_t appended = monotonicMicros() - receivedUs;
    recvToAppendLast_ = appended;
    if (appended > recvToAppendMax_) recvToAppendMax_ = appended;
    // How old the block is on the clock the probes synchronised with the server's.
    if (ours) syncAges_.record(age);
}

void ServerLink::onProbeReply(const wire::Datagram& datagram, int64_t receivedUs) {
    const auto sent = static_cast<int64_t>(datagram.probe.clientSendUs);
    // Only answers to our own outstanding probes count; a replayed or forged one is ignored.
    bool outstanding = false;
    for (auto& pending : pendingProbes_) {
        int64_t expected = sent;
        if (sent != 0 && pending.compare_exchange_strong(expected, 0)) {
            outstanding = true;
            break;
        }
    }
    if (!outstanding) return;
    const int64_t rtt = receivedUs - sent;
    roundTrips_.record(rtt);
    answered_.fetch_add(1);
    lastReplyUs_ = receivedUs;
    const int64_t offset = static_cast<int64_t>(datagram.probe.serverReceiveUs) - (sent + rtt / 2);
    if (!offsetValid_ || rtt <= offsetRtt_ + offsetRtt_ / 2 ||
        receivedUs - offsetSetUs_ > kOffsetKeepUs) {
        offsetUs_ = offset;
        offsetRtt_ = rtt;
        offsetSetUs_ = receivedUs;
        offsetRttUs_ = rtt;
        offsetValid_ = true;
    }
}

void ServerLink::sendProbe(int64_t nowUs) {
    auto slot = std::find_if(pendingProbes_.begin(), pendingProbes_.end(),
                             [](const auto& pending) { return pending.load() == 0; });
    if (slot == pendingProbes_.end()) return;
    const size_t size =
        wire::encodeProbe(probeOut_, {streamId_, probeSequence_++, static_cast<uint64_t>(nowUs)},
                          {static_cast<uint64_t>(nowUs), 0});
    if (size == 0) return;
    if (::send(fd_, probeOut_.data(), size, MSG_DONTWAIT | MSG_NOSIGNAL) ==
        static_cast<ssize_t>(size))
        slot->store(nowUs);
}

void ServerLink::expireProbes(int64_t nowUs) {
    for (auto& pending : pendingProbes_) {
        int64_t sent = pending.load();
        if (sent != 0 && nowUs - sent > kProbeTimeoutUs && pending.compare_exchange_strong(sent, 0))
            timedOut_.fetch_add(1);
    }
}

// Whole blocks go as many to a datagram as fit; a block wider than one datagram goes in parts of
// consecutive frames at 24 bits, one sequence number each, which the answers' receiver puts back
// together.
void ServerLink::sendAudio(std::span<const float> samples, int channels) {
    const int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0 || channels < 1 || channels > wire::kMaxChannels) return;
    const auto width = static_cast<size_t>(channels);
    const auto blockFrames = static_cast<size_t>(queue_.frames());
    wire::Format format = formatFor(width, blockFrames);
    const bool split = format == wire::Format::none;
    if (split) format = wire::Format::s24;
    const size_t most = wire::maxFrames(format, width);
    const size_t total = samples.size() / width;
    const int64_t now = monotonicMicros();
    size_t queued = 0;
    for (size_t at = 0; at < total && queued < kSendBatch;) {
        const size_t offset = at % blockFrames;
        const size_t count = split ? std::min(most, blockFrames - offset)
                                   : std::min(most - most % blockFrames, total - at);
        const size_t size = wire::encodeAudio(
            audioOut_[queued], {streamId_, audioSequence_, static_cast<uint64_t>(now)}, format,
            static_cast<uint8_t>(channels), samples.subspan(at * width, count * width));
        if (size == 0) return;
        const size_t slot = audioSequence_ % sentBlocks_.size();
        sentOffsets_[slot].store(static_cast<uint16_t>(offset), std::memory_order_relaxed);
        sentBlocks_[slot].store(uint64_t{audioSequence_} << 32 |
                                    (audioBlock_ + static_cast<uint32_t>(at / blockFrames)),
                                std::memory_order_release);
        ++audioSequence_;
        audioVectors_[queued++].iov_len = size;
        at += count;
    }
    audioBlock_ += static_cast<uint32_t>(total / blockFrames);
    const int sent = ::sendmmsg(fd, audioMessages_.data(), static_cast<unsigned>(queued),
                                MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent > 0) {
        sent_.fetch_add(static_cast<uint64_t>(sent), std::memory_order_relaxed);
        lastAudioOutUs_.store(now, std::memory_order_relaxed);
    }
}

ServerLink::Health ServerLink::health() const {
    return {lastReplyUs_.load(),    lastAudioInUs_.load(), lastAudioOutUs_.load(),
            answered_.load(),       timedOut_.load(),      sent_.load(),
            offsetValid_.load(),    offsetRttUs_.load(),   recvToAppendLast_.load(),
            recvToAppendMax_.load()};
}

}  // namespace vornisel::enginehost
