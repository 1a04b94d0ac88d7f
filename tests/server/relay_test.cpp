#include "relay.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vornisel::server {
namespace {

constexpr size_t kFrames = 64;

Peer peerAt(uint32_t host, uint16_t port) {
    Peer peer;
    auto& a = reinterpret_cast<sockaddr_in&>(peer.address);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(0x7F000000 | host);
    peer.length = sizeof a;
    return peer;
}

// A relay and the datagrams of clients that send a constant level on each channel.
struct Bench {
    Relay relay{28010, [](const std::string&) {}};
    std::vector<uint8_t> reply = std::vector<uint8_t>(wire::kMaxDatagram);
    uint64_t now = 1'000'000;

    static std::vector<uint8_t> audio(uint32_t id, uint32_t sequence, std::vector<float> levels) {
        std::vector<float> samples;
        for (size_t f = 0; f < kFrames; ++f)
            samples.insert(samples.end(), levels.begin(), levels.end());
        std::vector<uint8_t> bytes(wire::kMaxDatagram);
        bytes.resize(wire::encodeAudio(bytes, {id, sequence, 5}, wire::Format::s24,
                                       static_cast<uint8_t>(levels.size()), samples));
        return bytes;
    }
    static std::vector<uint8_t> fit(std::vector<uint8_t> bytes, size_t size) {
        bytes.resize(size);
        return bytes;
    }
    // The answer to `bytes` from client `host`, parsed; empty when there is none.
    std::optional<wire::Datagram> send(uint32_t host, const std::vector<uint8_t>& bytes) {
        const size_t size = relay.handle(bytes, peerAt(host, 40000), now, reply);
        EXPECT_LE(size, bytes.size()) << "an answer is never larger than its request";
        if (size == 0) return std::nullopt;
        return wire::parse(std::span(reply).first(size));
    }
    // The level of each channel of an audio answer's last frame.
    static std::vector<float> levels(const wire::Datagram& d) {
        std::vector<float> samples(d.frames * d.channels);
        wire::decodeSamples(d, samples);
        return {samples.end() - d.channels, samples.end()};
    }
};

TEST(RelayTest, EachClientHearsTheOthersAndNeverItself) {
    Bench bench;
    struct Client {
        uint32_t host;
        std::vector<float> sends;
        std::vector<float> hears;
    };
    // A mono sender is heard on both sides of a stereo listener.
    const std::vector<Client> clients = {
        {1, {0.1f, -0.1f}, {0.6f, 0.5f}},
        {2, {0.2f}, {0.5f}},
        {3, {0.4f, 0.3f}, {0.3f, 0.1f}},
    };
    for (uint32_t round = 0; round < 4; ++round) {
        for (const auto& c : clients) {
            const auto answer = bench.send(c.host, Bench::audio(c.host * 10, round, c.sends));
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->stamp.clientId, c.host * 10);
            EXPECT_EQ(answer->stamp.sequence, round);
            EXPECT_EQ(answer->frames, kFrames);
            if (round < 3) continue;
            const auto heard = Bench::levels(*answer);
            ASSERT_EQ(heard.size(), c.hears.size());
            for (size_t ch = 0; ch < heard.size(); ++ch)
                EXPECT_NEAR(heard[ch], c.hears[ch], 1e-4) << "client " << c.host << " ch " << ch;
        }
    }
}

// Client 1 sends the sequence numbers of a row (-1: a garbage datagram); client 2 listens.
TEST(RelayTest, PacketFaultsAreCountedAndNeverAnswered) {
    struct Row {
        const char* fault;
        std::vector<int64_t> sequence;
        std::string answered;  // y: answered, -: not
        uint64_t lost, duplicates, late, malformed;
    };
    const std::vector<Row> rows = {
        {"none", {1, 2, 3, 4}, "yyyy", 0, 0, 0, 0},
        {"lost", {1, 2, 5, 6}, "yyyy", 2, 0, 0, 0},
        {"duplicate", {1, 2, 2, 3}, "yy-y", 0, 1, 0, 0},
        {"reordered", {1, 3, 2, 4}, "yy-y", 1, 0, 1, 0},
        {"late", {1, 2, 3, 4, 1}, "yyyy-", 0, 0, 1, 0},
        {"wrapping", {0xFFFFFFFE, 0xFFFFFFFF, 0, 1}, "yyyy", 0, 0, 0, 0},
        {"garbage", {1, -1, 2, -1, 3}, "y-y-y", 0, 0, 0, 2},
    };
    for (const auto& row : rows) {
        Bench bench;
        ASSERT_TRUE(bench.send(2, Bench::audio(2, 0, {0.0f})));
        std::string answered;
        for (const int64_t seq : row.sequence) {
            auto bytes = Bench::audio(1, static_cast<uint32_t>(seq), {0.5f});
            if (seq < 0) bytes[4] = 9;  // a version nobody speaks
            answered += bench.send(1, bytes) ? "y" : "-";
        }
        const auto& counts = bench.relay.counts();
        EXPECT_EQ(answered, row.answered) << row.fault;
        EXPECT_EQ(counts.lost, row.lost) << row.fault;
        EXPECT_EQ(counts.duplicates, row.duplicates) << row.fault;
        EXPECT_EQ(counts.late, row.late) << row.fault;
        EXPECT_EQ(counts.malformed, row.malformed) << row.fault;
        // Whatever client 1's stream went through, client 2 hears it at its level.
        const auto heard = bench.send(2, Bench::audio(2, 1, {0.0f}));
        ASSERT_TRUE(heard) << row.fault;
        EXPECT_NEAR(Bench::levels(*heard)[0], 0.5f, 1e-4) << row.fault;
    }
}

// Client 1's blocks carry their number as their level, and client 2 asks for a mix at each 'b' of
// a row ('a': client 1 sends its next block, '.': a block's time passes). How far behind client 1's
// newest block the last mix was shows the cushion client 2 keeps. While client 2 is silent, client
// 1's mixes find nothing of it: those are starved too.
TEST(RelayTest, TheCushionFollowsTheJitterAndGivesBackWhatItNeverUsed) {
    const std::vector<std::pair<std::vector<std::pair<std::string, int>>, std::string>> rows = {
        // Two blocks come late: both are missed, and then waited for until a whole window never
        // needed them; then both are given back at once.
        {{{"ab.", 3}, {"b.b.", 1}, {"aaab.", 1}, {"ab.", 3100}}, "starved 2, skipped 1, behind 0"},
        // A client that joins hears the newest audio at once.
        {{{"a.", 20}, {"ab.", 3}}, "starved 0, skipped 0, behind 0"},
        // A short stall of client 2 is caught up without a cut.
        {{{"ab.", 3}, {"a.", 5}, {"b", 5}, {"ab.", 2}}, "starved 4, skipped 0, behind 0"},
        // A long one is cut to two blocks.
        {{{"ab.", 3}, {"a.", 30}, {"b.", 1}}, "starved 29, skipped 1, behind 1"},
    };
    for (const auto& [schedule, expected] : rows) {
        Bench bench;
        uint32_t sent = 0, asked = 0;
        long heard = 0;
        for (const auto& [pattern, times] : schedule)
            for (int i = 0; i < times; ++i)
                for (const char event : pattern) {
                    if (event == '.') bench.now += 1333;
                    if (event == 'a') {
                        bench.send(1, Bench::audio(1, sent, {(sent + 1) / 8192.0f}));
                        ++sent;
                    }
                    if (event != 'b') continue;
                    const auto mix = bench.send(2, Bench::audio(2, asked++, {0.0f}));
                    ASSERT_TRUE(mix) << expected;
                    heard = std::lround(Bench::levels(*mix)[0] * 8192);
                }
        const auto& counts = bench.relay.counts();
        EXPECT_EQ("starved " + std::to_string(counts.starved) + ", skipped " +
                      std::to_string(counts.skipped) + ", behind " + std::to_string(sent - heard),
                  expected);
    }
}

// Probes and discovery are answered in kind; what only a server sends is never answered.
TEST(RelayTest, ProbesAndDiscoveryAreAnsweredInKind) {
    Bench bench;
    std::vector<uint8_t> bytes(wire::kMaxDatagram);
    const wire::Stamp stamp{7, 3, 11};
    const auto reply = bench.send(1, Bench::fit(bytes, wire::encodeProbe(bytes, stamp, {123, 0})));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->kind, wire::Kind::probeReply);
    EXPECT_EQ(reply->stamp.sequence, stamp.sequence);
    EXPECT_EQ(reply->probe.clientSendUs, 123u);
    EXPECT_EQ(reply->probe.serverReceiveUs, bench.now);
    const auto announce = bench.send(9, Bench::fit(bytes, wire::encodeDiscover(bytes, stamp)));
    ASSERT_TRUE(announce);
    EXPECT_EQ(announce->kind, wire::Kind::announce);
    EXPECT_EQ(announce->announce.port, 28010);
    EXPECT_EQ(announce->announce.clients, 1u) << "the probing client";
    EXPECT_FALSE(bench.send(1, Bench::fit(bytes, wire::encodeProbeReply(bytes, stamp, {1, 2}))));
    EXPECT_FALSE(bench.send(1, Bench::fit(bytes, wire::encodeAnnounce(bytes, stamp, {1, 2, 3}))));
}

TEST(RelayTest, SlotsAreLimitedFreedByLeavingAndByQuiet) {
    Bench bench;
    auto probe = [](uint32_t id) {
        std::vector<uint8_t> bytes(wire::kMaxDatagram);
        return Bench::fit(bytes, wire::encodeProbe(bytes, {id, 0, 0}, {1, 0}));
    };
    for (uint32_t host = 1; host <= kMaxClients; ++host)
        ASSERT_TRUE(bench.send(host, probe(host)));
    const uint32_t extra = kMaxClients + 1;
    EXPECT_FALSE(bench.send(extra, probe(extra))) << "no slot left";
    EXPECT_EQ(bench.relay.counts().refused, 1u);

    std::vector<uint8_t> leave(wire::kHeaderBytes);
    wire::encodeLeave(leave, {999, 0, 0});
    bench.send(5, leave);
    EXPECT_FALSE(bench.send(extra, probe(extra))) << "a leave with another id is ignored";
    wire::encodeLeave(leave, {5, 0, 0});
    bench.send(5, leave);
    EXPECT_TRUE(bench.send(extra, probe(extra))) << "the leave freed a slot";

    bench.now += Relay::kQuietUs / 2;
    ASSERT_TRUE(bench.send(1, probe(1)));
    bench.now += Relay::kQuietUs / 2 + 1;
    bench.relay.expire(bench.now);
    EXPECT_EQ(bench.relay.clients(), 1u) << "only the client heard lately stays";
}

}  // namespace
}  // namespace vornisel::server
