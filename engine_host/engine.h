#pragma once

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_loop.h"
#include "host_options.h"
#include "host_state.h"
#include "network/server_link.h"
#include "queue/jitter_queue.h"

namespace vornisel::enginehost {

// The real engine of one device: the audio thread on the ALSA device, the link to the server and
// the jitter queue between them. The host's loop asks it every tick for the state it reports.
class Engine final : public HostState {
public:
    explicit Engine(const HostOptions& options);
    ~Engine() override;

    void advance(Clock::time_point now) override;
    int status() const override { return status_; }
    const std::string& stateReply() const override { return reply_; }
    const Statistics& statistics() const override { return stats_; }

private:
    struct Totals {
        int64_t atUs = 0;
        uint64_t received = 0, duplicates = 0, callbacks = 0, played = 0;
    };
    AudioLoop::Network audioNetwork();
    void updateStatus(int64_t nowUs, const AudioLoop::Measures& audio,
                      const ServerLink::Health& link);
    void writeNetwork(const ServerLink::Health& link);
    void writeQueue(int64_t nowUs, const AudioLoop::Measures& audio);
    void writeAudio(const AudioLoop::Measures& audio, const JitterQueue::Counters& queue);
    void updateLevels();
    void noteEvent(std::string reason, std::string key);
    void serialise();

    const HostOptions& options_;
    JitterQueue queue_;
    ServerLink link_;
    AudioLoop audio_;
    int status_ = 1;
    bool streaming_ = false;
    std::string error_;
    Statistics stats_{};
    Totals previous_;
    std::pair<int, int> depthRange_{0, 0};
    std::vector<int> inputLevels_, outputLevels_;
    uint64_t lastUnderruns_ = 0, lastOverruns_ = 0;
    std::deque<std::pair<std::string, std::string>> events_;
    std::string reply_;
};

}  // namespace vornisel::enginehost
