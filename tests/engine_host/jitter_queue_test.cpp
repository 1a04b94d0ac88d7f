#include "queue/jitter_queue.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

namespace vornisel::enginehost {
namespace {

constexpr int kFrames = 4;
constexpr int kChannels = 2;

// Every sample of block `sequence` carries one value of its own.
float valueOf(uint32_t sequence) {
    return static_cast<float>(sequence % 1000 + 1) / 1024.0f;
}

// Plays a script against a queue: "+N" pushes block N, "+N/0" and "+N/1" its first and second
// half, "." plays one block. Returns what each play gave: the block's number, "~" for a lost block,
// "-" before playing started.
std::string play(JitterQueue& queue, const std::string& script) {
    std::istringstream in(script);
    std::string word, heard, previous;
    std::map<float, std::string> pushed;
    std::vector<float> block(kFrames * kChannels), out(kFrames * kChannels), last(out.size());
    while (in >> word) {
        if (word[0] == '+') {
            size_t end = 0;
            const auto sequence = static_cast<uint32_t>(std::stoul(word.substr(1), &end));
            std::fill(block.begin(), block.end(), valueOf(sequence));
            pushed[valueOf(sequence)] = std::to_string(sequence);
            const int half = end + 1 < word.size() ? word[end + 2] - '0' : -1;
            if (half < 0)
                queue.push(sequence, block, kChannels);
            else
                queue.pushPart(sequence, half * kFrames / 2,
                               std::span(block).first(block.size() / 2), kChannels);
            continue;
        }
        const bool started = queue.depthBlocks() > 0 || !previous.empty();
        std::string token = "-";
        if (queue.pop(out)) {
            token = pushed.contains(out[0]) ? pushed[out[0]] : "?";
            for (float sample : out)
                EXPECT_EQ(sample, out[0]) << "a played block is whole";
        } else if (started) {
            token = "~";
            // A lost block is the previous one fading to nothing, or silence.
            EXPECT_EQ(out[(kFrames - 1) * kChannels], 0.0f);
            for (size_t i = 0; i < out.size(); ++i)
                EXPECT_LE(std::abs(out[i]), std::abs(last[i]));
        }
        last = out;
        previous = token == "-" ? previous : token;
        heard += (heard.empty() ? "" : " ") + token;
    }
    return heard;
}

TEST(JitterQueueTest, PlaysInOrderAndCountsEveryFault) {
    struct Row {
        const char* name;
        int latency;
        std::string script;
        std::string heard;
        JitterQueue::Counters counters;  // received, duplicates, late, overflows, lost, played
    };
    const std::vector<Row> rows = {
        {"in order", 2, "+0 +1 . +2 . +3 . .", "0 1 2 3", {4, 0, 0, 0, 0, 4}},
        {"waits for the latency first", 2, ". +0 . +1 . .", "- - 0 1", {2, 0, 0, 0, 0, 2}},
        {"lost", 2, "+0 +1 . . . +3 .", "0 1 ~ 3", {3, 0, 0, 0, 1, 3}},
        {"duplicate", 2, "+0 +0 +1 +1 . .", "0 1", {2, 2, 0, 0, 0, 2}},
        {"late", 2, "+0 +1 . . . +2 +3 .", "0 1 ~ 3", {3, 0, 1, 0, 1, 3}},
        {"reordered", 2, "+0 +1 . +3 +2 . . .", "0 1 2 3", {4, 0, 0, 0, 0, 4}},
        {"in halves", 1, "+0/1 . +0/0 . +1/1 +1/0 . +2/0 .", "- 0 1 ~", {2, 0, 0, 0, 1, 2}},
        {"too far ahead", 1, "+0 . +7 +6 .", "0 ~", {2, 0, 0, 1, 1, 1}},
        {"sequence wraps", 2, "+4294967295 +0 . . +1 .", "4294967295 0 1", {3, 0, 0, 0, 0, 3}},
        {"stream restarts",
         1,
         "+0 . . . . . . . +500 . +501 .",
         "0 ~ ~ ~ ~ ~ ~ 500 501",
         {3, 0, 0, 0, 6, 3}},
    };
    for (const Row& row : rows) {
        JitterQueue queue(row.latency, kFrames, kChannels);
        EXPECT_EQ(play(queue, row.script), row.heard) << row.name;
        const auto c = queue.counters();
        const auto& e = row.counters;
        EXPECT_EQ(std::vector({c.received, c.duplicates, c.late, c.overflows, c.lost, c.played}),
                  std::vector({e.received, e.duplicates, e.late, e.overflows, e.lost, e.played}))
            << row.name;
    }
}

}  // namespace
}  // namespace vornisel::enginehost
