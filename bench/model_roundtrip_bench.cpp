// Round trip of a large panel document: 32 presets of 8 devices are encoded, parsed, opened by a
// store from disk, saved back and compared byte for byte. Prints times and sizes; never fails the
// build, but exits non-zero if the round trip changes the document.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "model/client_config.h"
#include "model/panel_store.h"

namespace {

using namespace vornisel;
using Clock = std::chrono::steady_clock;

PanelDocument largeDocument() {
    PanelDocument document;
    document.settings.prefix = 3070905;
    document.presets.clear();
    uint32_t id = document.settings.prefix;
    for (int p = 0; p < 32; ++p) {
        Preset preset{"preset-" + std::to_string(p), "Preset " + std::to_string(p), {}};
        for (int d = 0; d < 8; ++d) {
            Profile profile{.id = ++id,
                            .name = "Device " + std::to_string(d) + " Студия",
                            .device = "hw:CARD=USB" + std::to_string(d) + ",DEV=0",
                            .latency = std::to_string(d + 1)};
            if (d % 2 == 0) profile.latencyMode = "Stable";
            std::map<int, int> routes;
            for (int c = 0; c < 16; ++c)
                routes[c] = (c + d) % 32;
            profile.setRoutes(false, routes);
            profile.setRoutes(true, routes);
            preset.clients.push_back(profile);
        }
        document.presets.push_back(preset);
    }
    document.active = document.presets[5].id;
    return document;
}

template <class F>
double microseconds(int rounds, F&& body) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        body();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

}  // namespace

int main() {
    char pattern[] = "/tmp/vornisel-model-bench-XXXXXX";
    const std::filesystem::path directory = mkdtemp(pattern);
    const PanelDocument document = largeDocument();
    const std::string text = panelJsonText(document);
    constexpr int rounds = 200;

    const double encode = microseconds(rounds, [&] { (void)panelJsonText(document); });
    const double decode = microseconds(rounds, [&] { (void)parsePanelDocument(text); });

    {
        PanelStore store(directory);
        store.document = document;
        store.save();
    }
    bool identical = true;
    const double openAndSave = microseconds(50, [&] {
        PanelStore store(directory);
        identical = identical && store.document == document;
        store.save();
    });
    identical = identical && readAll(directory / "panel.json") == text;

    PanelStore store(directory);
    const double config =
        microseconds(rounds, [&] { (void)store.writeConfig(store.clients()[0]); });
    const double nextID = microseconds(rounds, [&] { (void)store.nextID(); });

    std::printf("panel document: 32 presets x 8 devices, %zu bytes of panel.json\n", text.size());
    std::printf("  encode                 %9.1f us\n", encode);
    std::printf("  parse and validate     %9.1f us\n", decode);
    std::printf("  open store + save      %9.1f us (atomic write with fsync)\n", openAndSave);
    std::printf("  write one config file  %9.1f us (%zu bytes)\n", config,
                clientConfigText(store.clients()[0]).size());
    std::printf("  nextID over 256 ids    %9.1f us\n", nextID);
    std::printf("  round trip identical   %s\n", identical ? "yes" : "NO");

    std::filesystem::remove_all(directory);
    return identical ? 0 : 1;
}
