#pragma once

// The ALSA devices of a stream between two engines, for the stream test and the delay bench.

#include <filesystem>
#include <string>

namespace vornisel::test {

// Device "stream_a" records from dir/a_in.raw and "stream_b" plays into dir/b_out.raw; everything
// else is ALSA's null device. The files hold 32-bit stereo at 48 kHz, the engine's first choice:
// no conversion stands between the engine and a file (ALSA's file plugin misplaces captured
// periods under one).
inline std::string streamDevices(const std::filesystem::path& dir) {
    auto fileSide = [](const std::string& file, const std::string& infile) {
        return "{ type plug slave { pcm { type file slave.pcm \"null\" file \"" + file + "\"" +
               (infile.empty() ? "" : " infile \"" + infile + "\"") +
               " format \"raw\" } format S32_LE rate 48000 channels 2 } }";
    };
    const std::string null = "{ type plug slave { pcm \"null\" format S32_LE rate 48000 } }";
    return "pcm.stream_a { type asym playback.pcm " + null + " capture.pcm " +
           fileSide("/dev/null", (dir / "a_in.raw").string()) + " }\n" +
           "pcm.stream_b { type asym playback.pcm " + fileSide((dir / "b_out.raw").string(), "") +
           " capture.pcm " + null + " }\n";
}

}  // namespace vornisel::test
