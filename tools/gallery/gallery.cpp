// Renders the device card in its typical states at two widths, and every glyph in every button
// state, as PNG files for a person to look at: vornisel_gallery OUTPUT_DIR.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <functional>

#include "engine/client_runtime.h"
#include "engine/process.h"
#include "l10n/localizer.h"
#include "ui/card/device_card.h"
#include "ui/theme/action_button.h"
#include "ui/theme/theme.h"

using namespace vornisel;
using nlohmann::ordered_json;

namespace {

// A runtime whose engine "runs": an idle child process stands in for the engine host.
std::shared_ptr<ClientRuntime> running(ordered_json state) {
    auto runtime = std::make_shared<ClientRuntime>();
    runtime->process = Process::create("/bin/sleep", {"60"});
    runtime->process->launch();
    runtime->state = std::move(state);
    return runtime;
}

ordered_json levels(std::initializer_list<int> peaks) {
    ordered_json list = ordered_json::array();
    int channel = 0;
    for (int peak : peaks)
        list.push_back({{"driverChannel", channel++}, {"peakMilli", peak}});
    return list;
}

Profile profile(const std::string& name, const std::string& inputs, const std::string& outputs) {
    Profile p;
    p.id = 1004;
    p.name = name;
    p.latency = "6";
    p.driverInputs = inputs;
    p.driverOutputs = outputs;
    return p;
}

std::vector<std::pair<Profile, std::shared_ptr<ClientRuntime>>> scenes() {
    const ordered_json live = {{"status", 3},
                               {"health", 1},
                               {"sampleRate", 48000},
                               {"blockFrames", 64},
                               {"inputLevels", levels({126, 300})},
                               {"outputLevels", levels({900, 1000, 40})}};
    auto warning = live;
    warning["health"] = 0;
    warning["healthMessageKey"] = "status.waiting_sync";
    auto expanded = running(live);
    expanded->expanded = true;
    expanded->state["recoveryEvents"] = ordered_json::array();
    for (int i = 1; i <= 7; ++i)
        expanded->state["recoveryEvents"].push_back({{"reason", "event " + std::to_string(i)}});
    for (int i = 0; i < 45; ++i) {
        expanded->samples.push_back(
            Telemetry({{"asio_queue_depth_centi_blocks", 150 + i * 37 % 90},
                       {"net_time_probe_last_rtt_microseconds", 400 + i % 7 * 60},
                       {"net_time_probe_p99_rtt_microseconds", 600},
                       {"net_sync_age_p99_microseconds", 800}}));
    }
    const std::string wide = "0,1,2,3,4,5,6,7,8,9,10,11";
    return {{profile("Stopped", "0,1", "0,1"), std::make_shared<ClientRuntime>()},
            {profile("Starting", "0,1,2,3", "0,1"), running({{"status", 1}})},
            {profile("Running", "0,1", "0,1,2"), running(live)},
            {profile("Waiting", "", "0,1"), running(warning)},
            {profile("Front of house with a rather long device name", wide, wide), expanded}};
}

// Draws `images` one under the other on the window background.
QImage stack(const std::vector<QImage>& images) {
    int width = 0, height = 12;
    for (const QImage& image : images) {
        width = std::max(width, image.width());
        height += image.height() + 12;
    }
    QImage sheet(width + 24, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Theme::background());
    QPainter painter(&sheet);
    int y = 12;
    for (const QImage& image : images) {
        painter.drawImage(12, y, image);
        y += image.height() + 12;
    }
    return sheet;
}

QImage grab(QWidget& widget, qreal ratio) {
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Theme::background());
    widget.render(&image);
    return image;
}

// Every glyph in a row of seven button states: plain, hovered, accent, attention, link, hovered
// link and disabled.
QImage glyphSheet(qreal ratio) {
    PanelView sheet;
    sheet.setFill(Theme::card());
    sheet.resize(12 + 7 * 44, 12 + int(allGlyphs.size()) * 44);
    for (size_t g = 0; g < allGlyphs.size(); ++g) {
        for (int state = 0; state < 7; ++state) {
            auto* button = new ActionButton(QString(), allGlyphs[g], {}, &sheet);
            button->setGeometry(12 + state * 44, 12 + int(g) * 44, 32, 32);
            button->setHovering(state == 1 || state == 5);
            button->setAccent(state == 2);
            button->setAttention(state == 3);
            button->setLink(state == 4 || state == 5);
            button->setEnabled(state != 6);
        }
    }
    return grab(sheet, ratio);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vornisel_gallery OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    Theme::applyDarkAppearance(app);
    Localizer::shared().load("en", std::filesystem::path(VORNISEL_SOURCE_DIR) / "resources");
    const auto list = scenes();
    const auto save = [&](const QImage& image, const QString& name) {
        const QString path = out.filePath(name);
        const bool saved = image.save(path);
        std::printf("%s%s\n", qPrintable(path), saved ? "" : " (not written)");
        return saved;
    };
    bool ok = true;
    for (int width : {900, 620}) {
        std::vector<QImage> cards;
        for (const auto& [profile, runtime] : list) {
            DeviceCard card(profile, runtime);
            card.resize(width, card.requestedHeight());
            card.show();  // so the meter strip decides on its scroller as it would
            card.refresh();
            QCoreApplication::processEvents();
            cards.push_back(grab(card, 1.0));
        }
        ok = save(stack(cards), QStringLiteral("cards-%1.png").arg(width)) && ok;
    }
    ok = save(glyphSheet(1.0), QStringLiteral("glyphs.png")) && ok;
    ok = save(glyphSheet(2.0), QStringLiteral("glyphs@2x.png")) && ok;
    for (const auto& scene : list) {
        if (scene.second->process) scene.second->process->terminate();
    }
    return ok ? 0 : 1;
}
