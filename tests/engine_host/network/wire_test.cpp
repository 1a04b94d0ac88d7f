#include "network/wire.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace vornisel::wire {
namespace {

using Buffer = std::vector<uint8_t>;

Buffer audio(Format format, uint8_t channels, std::vector<float> samples) {
    Buffer out(kMaxDatagram);
    out.resize(encodeAudio(out, {7, 9, 11}, format, channels, samples));
    return out;
}

Buffer fixed(const std::function<size_t(std::span<uint8_t>)>& encode) {
    Buffer out(kMaxDatagram);
    out.resize(encode(out));
    return out;
}

TEST(WireTest, EveryKindReadsBackWhatWasWritten) {
    const Stamp stamp{0xA1B2C3D4, 0xFFFFFFFE, 0x0102030405060708};
    const Probe probe{123456789012, 987654321098};
    const Announce announce{28011, 3, 64};
    struct Row {
        Kind kind;
        std::function<size_t(std::span<uint8_t>)> encode;
    };
    const std::vector<Row> rows = {
        {Kind::probe, [&](auto out) { return encodeProbe(out, stamp, probe); }},
        {Kind::probeReply, [&](auto out) { return encodeProbeReply(out, stamp, probe); }},
        {Kind::discover, [&](auto out) { return encodeDiscover(out, stamp); }},
        {Kind::announce, [&](auto out) { return encodeAnnounce(out, stamp, announce); }},
        {Kind::leave, [&](auto out) { return encodeLeave(out, stamp); }},
    };
    for (const auto& row : rows) {
        const Buffer bytes = fixed(row.encode);
        const auto d = parse(bytes);
        ASSERT_TRUE(d) << static_cast<int>(row.kind);
        EXPECT_EQ(d->kind, row.kind);
        EXPECT_EQ(d->stamp.clientId, stamp.clientId);
        EXPECT_EQ(d->stamp.sequence, stamp.sequence);
        EXPECT_EQ(d->stamp.timestampUs, stamp.timestampUs);
        if (row.kind == Kind::probe || row.kind == Kind::probeReply) {
            EXPECT_EQ(d->probe.clientSendUs, probe.clientSendUs);
            EXPECT_EQ(d->probe.serverReceiveUs, probe.serverReceiveUs);
        }
        if (row.kind == Kind::announce) {
            EXPECT_EQ(d->announce.port, announce.port);
            EXPECT_EQ(d->announce.clients, announce.clients);
            EXPECT_EQ(d->announce.capacity, announce.capacity);
        }
    }
}

TEST(WireTest, SamplesSurviveBothFormatsWithinOneStep) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> in = {0.0f, 0.5f,  -0.5f, -1.0f, 0.999f,
                                   1.5f, -3.0f, nan,   1e-4f, -1e-4f};
    const std::vector<float> want = {0.0f, 0.5f,  -0.5f, -1.0f, 0.999f,
                                     1.0f, -1.0f, 0.0f,  1e-4f, -1e-4f};
    for (const auto& [format, step] :
         {std::pair{Format::s16, 1.0f / 32768}, std::pair{Format::s24, 1.0f / 8388608}}) {
        const Buffer bytes = audio(format, 2, in);
        const auto d = parse(bytes);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->frames, in.size() / 2);
        EXPECT_EQ(d->channels, 2);
        std::vector<float> out(in.size());
        ASSERT_EQ(decodeSamples(*d, out), in.size());
        for (size_t i = 0; i < in.size(); ++i)
            EXPECT_NEAR(out[i], want[i], step) << "format " << int(format) << " sample " << i;
        std::vector<float> small(in.size() - 1);
        EXPECT_EQ(decodeSamples(*d, small), 0u) << "a short output buffer is refused";
    }
}

TEST(WireTest, AStereoBlockOf64Frames24BitFitsOneDatagram) {
    EXPECT_FALSE(audio(Format::s24, 2, std::vector<float>(64 * 2)).empty());
    const size_t most = maxFrames(Format::s24, 2);
    EXPECT_FALSE(audio(Format::s24, 2, std::vector<float>(most * 2)).empty());
    EXPECT_TRUE(audio(Format::s24, 2, std::vector<float>((most + 1) * 2)).empty());
}

TEST(WireTest, EncodingRefusesWhatCannotBeSent) {
    std::array<uint8_t, kMaxDatagram> out{};
    const std::vector<float> four(4);
    EXPECT_EQ(encodeAudio(out, {}, Format::s16, 0, four), 0u);
    EXPECT_EQ(encodeAudio(out, {}, Format::s16, kMaxChannels + 1, std::vector<float>(33)), 0u);
    EXPECT_EQ(encodeAudio(out, {}, Format::s16, 3, four), 0u) << "not whole frames";
    EXPECT_EQ(encodeAudio(out, {}, Format::none, 2, four), 0u);
    EXPECT_EQ(encodeAudio(out, {}, Format::s16, 2, {}), 0u);
    EXPECT_EQ(encodeAudio(std::span(out).first(kHeaderBytes + 8), {}, Format::s16, 2, four), 0u);
    EXPECT_EQ(encodeProbe(std::span(out).first(kHeaderBytes), {}, {}), 0u);
}

// One well-formed datagram of each shape, then one fault applied to it.
TEST(WireTest, MalformedDatagramsAreRejected) {
    const Buffer sound = audio(Format::s16, 2, std::vector<float>(8, 0.25f));
    const Buffer probe = fixed([](auto out) { return encodeProbe(out, {1, 2, 3}, {4, 5}); });
    const Buffer discover = fixed([](auto out) { return encodeDiscover(out, {1, 2, 3}); });
    const Buffer announce = fixed([](auto out) { return encodeAnnounce(out, {}, {1, 2, 3}); });
    const Buffer leave = fixed([](auto out) { return encodeLeave(out, {1, 2, 3}); });
    for (const auto& good : {sound, probe, discover, announce, leave})
        ASSERT_TRUE(parse(good));
    auto set = [](Buffer b, size_t at, uint8_t value) { return b[at] = value, b; };
    auto resize = [](Buffer b, size_t size) { return b.resize(size), b; };
    const std::vector<std::pair<const char*, Buffer>> rows = {
        {"empty", {}},
        {"header only", resize(sound, kHeaderBytes)},
        {"magic", set(sound, 0, 'X')},
        {"version 0", set(sound, 4, 0)},
        {"version 2", set(sound, 4, 2)},
        {"kind 0", set(sound, 5, 0)},
        {"kind 7", set(sound, 5, 7)},
        {"audio format 0", set(sound, 6, 0)},
        {"audio format 3", set(sound, 6, 3)},
        {"audio as 24-bit", set(sound, 6, 2)},
        {"channels 0", set(sound, 7, 0)},
        {"channels 33", set(sound, 7, 33)},
        {"channels 1", set(sound, 7, 1)},
        {"frames 0", set(sound, kHeaderBytes, 0)},
        {"frames one more", set(sound, kHeaderBytes, 5)},
        {"frames high byte", set(sound, kHeaderBytes + 1, 1)},
        {"reserved", set(sound, kHeaderBytes + 2, 1)},
        {"audio truncated", resize(sound, sound.size() - 1)},
        {"audio extended", resize(sound, sound.size() + 1)},
        {"oversized", resize(sound, kMaxDatagram + 1)},
        {"probe with format", set(probe, 6, 1)},
        {"probe with channels", set(probe, 7, 2)},
        {"probe truncated", resize(probe, probe.size() - 1)},
        {"probe extended", resize(probe, probe.size() + 1)},
        {"probe as leave", set(probe, 5, 6)},
        {"discover with body", set(discover, kHeaderBytes + 3, 1)},
        {"announce reserved", set(announce, kHeaderBytes + 7, 1)},
        {"leave extended", resize(leave, kHeaderBytes + 1)},
    };
    for (const auto& [fault, bytes] : rows)
        EXPECT_FALSE(parse(bytes)) << fault;
}

}  // namespace
}  // namespace vornisel::wire
