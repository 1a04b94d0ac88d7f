// Cost of painting the main window's content with eight expanded device cards, each running with
// full meters, a minute of history in its charts and six recovery events: what one poll tick asks
// of the main thread when every card redraws. Offscreen raster at 1x and 2x; the aim is well under
// 8 ms for the visible window so a repaint never competes with input.
#include <QApplication>
#include <QImage>
#include <QScrollArea>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/client_runtime.h"
#include "engine/process.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/theme/theme.h"

using namespace vornisel;

namespace {

std::shared_ptr<ClientRuntime> busyRuntime(int seed) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->process = Process::create("/bin/sleep", {"300"});
    runtime->process->launch();
    runtime->expanded = true;
    nlohmann::ordered_json state = {
        {"status", 3}, {"health", 1}, {"sampleRate", 48000}, {"blockFrames", 64}};
    for (const char* key : {"inputLevels", "outputLevels"}) {
        state[key] = nlohmann::ordered_json::array();
        for (int c = 0; c < 8; ++c) {
            state[key].push_back(
                {{"driverChannel", c}, {"peakMilli", (c * 131 + seed * 77) % 1001}});
        }
    }
    state["recoveryEvents"] = nlohmann::ordered_json::array();
    for (int i = 0; i < 9; ++i) {
        state["recoveryEvents"].push_back(
            {{"messageKey", ""}, {"reason", "recovered queue " + std::to_string(i)}});
    }
    runtime->state = state;
    for (int i = 0; i < 60; ++i) {
        runtime->samples.push_back(
            Telemetry({{"asio_queue_depth_centi_blocks", 120 + (i * 37) % 90},
                       {"net_time_probe_last_rtt_microseconds", 400 + i * 13},
                       {"net_time_probe_p99_rtt_microseconds", 900},
                       {"net_sync_age_p99_microseconds", 700}}));
    }
    return runtime;
}

Profile profile(uint32_t id) {
    Profile p;
    p.id = id;
    p.name = "Device " + std::to_string(id);
    p.latency = "6";
    p.driverInputs = "0,1,2,3,4,5,6,7";
    p.driverOutputs = "0,1,2,3,4,5,6,7";
    return p;
}

struct Figures {
    double median, worst;
};

template <class Paint>
Figures measure(int rounds, Paint paint) {
    std::vector<double> ms;
    paint();  // warm caches: fonts, glyph outlines, style sheets
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        paint();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Theme::applyDarkAppearance(app);
    Localizer::shared().load("en",
                             std::filesystem::path(VORNISEL_BUNDLE_DIR) / "Contents/Resources");

    // The window as the controller builds it: header band, scroll area, a body of cards.
    MainContent root;
    root.resize(1040, 720);
    auto* header = new PanelView(&root);
    header->setFill(Theme::header());
    header->setGeometry(0, 0, 1040, 100);
    auto* scroll = new QScrollArea(&root);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setGeometry(28, 160, 984, 720 - 160 - 28);
    auto* body = new QWidget;
    body->setAutoFillBackground(false);
    std::vector<std::shared_ptr<ClientRuntime>> runtimes;
    std::vector<DeviceCard*> cards;
    int y = 0;
    for (uint32_t i = 0; i < 8; ++i) {
        runtimes.push_back(busyRuntime(int(i)));
        auto* card = new DeviceCard(profile(1000 + i), runtimes.back(), body);
        card->setGeometry(0, y, 984 - 16, card->requestedHeight());
        y += card->requestedHeight() + 12;
        cards.push_back(card);
    }
    body->resize(984 - 16, y);
    scroll->setWidget(body);
    root.show();
    QApplication::processEvents();

    QImage window(root.size(), QImage::Format_ARGB32_Premultiplied);
    QImage window2x(root.size() * 2, QImage::Format_ARGB32_Premultiplied);
    window2x.setDevicePixelRatio(2);
    QImage whole(body->size(), QImage::Format_ARGB32_Premultiplied);
    const int rounds = 60;

    const Figures refresh = measure(rounds, [&] {
        for (DeviceCard* card : cards)
            card->refresh();
    });
    const Figures visible = measure(rounds, [&] { root.render(&window); });
    const Figures visible2x = measure(rounds, [&] { root.render(&window2x); });
    const Figures all = measure(rounds, [&] { body->render(&whole); });
    const Figures tick = measure(rounds, [&] {
        for (DeviceCard* card : cards)
            card->refresh();
        root.render(&window);
    });

    std::printf("paint_cards: 8 expanded running cards, 16 meters each, 60 samples, 6 events\n");
    std::printf("  refresh of 8 cards (state, texts, layout)   median %6.2f ms  worst %6.2f ms\n",
                refresh.median, refresh.worst);
    std::printf("  window 1040x720 at 1x                       median %6.2f ms  worst %6.2f ms\n",
                visible.median, visible.worst);
    std::printf("  window 1040x720 at 2x                       median %6.2f ms  worst %6.2f ms\n",
                visible2x.median, visible2x.worst);
    std::printf("  all 8 cards (%dx%d) at 1x                 median %6.2f ms  worst %6.2f ms\n",
                body->width(), body->height(), all.median, all.worst);
    std::printf(
        "  poll tick: refresh + window at 1x           median %6.2f ms  worst %6.2f ms"
        "  (target < 8 ms)\n",
        tick.median, tick.worst);

    for (auto& runtime : runtimes) {
        runtime->process->terminate();
        runtime->process->waitForExit(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    }
    return 0;
}
