#include "network/wire.h"

#include <gtest/gtest.h>

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
