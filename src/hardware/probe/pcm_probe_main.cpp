// vornisel_pcm_probe <pcm>: opens both directions of one PCM of the ALSA configuration and prints
// the channels each offers. The panel runs it for every PCM it lists, with standard error going
// nowhere, so that a plugin's open (a sound server's client library, its threads, its messages)
// happens in a fresh process of its own and never in a copy of the panel.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hardware/pcm_probe.h"

// In a sanitizer build the leak check would turn this program's exit status into a failure:
// libasound keeps what some plugins allocate at open (a null PCM's channel maps) past the close,
// and this process ends right after its one open anyway.
extern "C" const char* __lsan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vornisel_pcm_probe <ALSA PCM name>\n", stderr);
        return 2;
    }
    // Probing looks at a server; it must never start one.
    setenv("JACK_NO_START_SERVER", "1", 1);
    const std::string pcm = argv[1];
    const vornisel::PcmChannels channels{vornisel::probePcmChannels(pcm, true),
                                         vornisel::probePcmChannels(pcm, false)};
    const std::string answer = vornisel::probeAnswer(channels);
    return std::fwrite(answer.data(), 1, answer.size(), stdout) == answer.size() ? 0 : 1;
}
