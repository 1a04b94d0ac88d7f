#pragma once

// The ALSA devices of a stream between two engines, and where one has read to in its file, for the
// stream test and the delay bench.

#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace vornisel::test {

// Bytes a frame of the devices' files takes: 32-bit stereo.
inline constexpr size_t kStreamFrameBytes = 8;

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

// How far process `pid` has read into `file`: the offset of its descriptor of it, in frames.
inline std::optional<size_t> readPosition(pid_t pid, const std::filesystem::path& file) {
    const std::string proc = "/proc/" + std::to_string(pid);
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) != file) continue;
        size_t pos = 0;  // the line "pos:<tab><offset>"
        std::ifstream(proc + "/fdinfo/" + fd.path().filename().string()).ignore(4) >> pos;
        return pos / kStreamFrameBytes;
    }
    return std::nullopt;
}

}  // namespace vornisel::test
