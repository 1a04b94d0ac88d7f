#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "network/wire.h"
#include "queue/jitter_queue.h"
#include "statistics/delay_statistics.h"

namespace vornisel::enginehost {

// The engine's side of the server link: one UDP socket connected to the server, a thread that
// receives the mix into the jitter queue and measures the round trip with time probes, and a
// send call for the audio thread. Finds the server first when it is given as "auto".
class ServerLink {
public:
    struct Settings {
        uint32_t clientId = 0;
        std::string server;  // an address, a host name, or "auto"
        std::string port;
    };
    // Measures for the statistics block and the status, read by the host's loop.
    struct Health {
        int64_t lastReplyUs = 0;    // 0: the server never answered
        int64_t lastAudioInUs = 0;  // 0: no audio came yet
        int64_t lastAudioOutUs = 0;
        uint64_t probesAnswered = 0;
        uint64_t probesTimedOut = 0;
        uint64_t blocksSent = 0;
        bool offsetValid = false;
        int64_t offsetRttUs = 0;
        int64_t recvToAppendLastUs = 0;
        int64_t recvToAppendMaxUs = 0;
    };

    ServerLink(Settings settings, JitterQueue& queue);
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    // Audio thread: sends whole blocks of driver inputs (interleaved), as many to a datagram as
    // fit (a wider block in parts), in one call. Never blocks or allocates.
    void sendAudio(std::span<const float> samples, int channels);
    // Audio thread, once a block while the device runs: takes in what the server sent, so that
    // the network thread need not wake for every datagram. Never blocks or allocates.
    void receiveOnAudioThread();
    // Audio thread: the device stopped; the network thread takes in the datagrams again.
    void audioStopped() { audioReceives_ = false; }
    Health health() const;
    const DelayStatistics& roundTrips() const { return roundTrips_; }
    const DelayStatistics& syncAges() const { return syncAges_; }
    // "" until the server is known, then where it is, for the log and the state reply.
    std::string serverName() const;

private:
    void run();
    bool connectToServer();
    void receive();
    int64_t arrivalUs(msghdr& message, int64_t nowUs, int64_t wallUs) const;
    void tryReceive();
    void onAudio(const wire::Datagram& datagram, int64_t receivedUs);
    void onProbeReply(const wire::Datagram& datagram, int64_t receivedUs);
    void sendProbe(int64_t nowUs);
    void expireProbes(int64_t nowUs);

    const Settings settings_;
    const uint32_t streamId_;
    JitterQueue& queue_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> fd_{-1};
    std::thread thread_;
    mutable std::mutex nameMutex_;
    std::string serverName_;

    static constexpr size_t kSendBatch = 32;
    static constexpr size_t kReceiveBatch = 8;
    // Audio thread only.
    uint32_t audioSequence_ = 0;
    uint32_t audioBlock_ = 0;
    std::array<std::array<uint8_t, wire::kMaxDatagram>, kSendBatch> audioOut_{};
    std::array<iovec, kSendBatch> audioVectors_{};
    std::array<mmsghdr, kSendBatch> audioMessages_{};
    // The first block of each recent datagram, (sequence << 32 | block): an answer carries the
    // datagram's sequence, and the jitter queue counts blocks.
    std::array<std::atomic<uint64_t>, 256> sentBlocks_{};
    std::array<std::atomic<uint16_t>, 256> sentOffsets_{};  // the frame it starts at in its block
    // Network thread only.
    uint32_t probeSequence_ = 0;
    // Whoever holds `receiving_` (the audio thread while the device runs, else the network
    // thread) reads the socket and owns the members up to the offset.
    std::atomic<bool> receiving_{false};
    std::atomic<bool> audioReceives_{false};
    std::array<std::atomic<int64_t>, 16> pendingProbes_{};
    std::array<std::array<uint8_t, 2048>, kReceiveBatch> received_{};
    std::array<iovec, kReceiveBatch> receiveVectors_{};
    std::array<mmsghdr, kReceiveBatch> receiveMessages_{};
    // Room for each datagram's arrival time, which the kernel stamps (SO_TIMESTAMPNS): a round
    // trip then does not include how long the receiving thread slept.
    struct alignas(cmsghdr) Control {
        char bytes[CMSG_SPACE(sizeof(timespec))];
    };
    std::array<Control, kReceiveBatch> receiveControl_{};
    std::array<uint8_t, 128> probeOut_{};
    std::unique_ptr<float[]> scratch_;
    size_t scratchSize_ = 0;
    int64_t offsetUs_ = 0;
    int64_t offsetRtt_ = 0;
    int64_t offsetSetUs_ = 0;

    std::atomic<int64_t> lastReplyUs_{0}, lastAudioInUs_{0}, lastAudioOutUs_{0};
    std::atomic<uint64_t> answered_{0}, timedOut_{0}, sent_{0};
    std::atomic<bool> offsetValid_{false};
    std::atomic<int64_t> offsetRttUs_{0}, recvToAppendLast_{0}, recvToAppendMax_{0};
    DelayStatistics roundTrips_;
    DelayStatistics syncAges_;
};

}  // namespace vornisel::enginehost
