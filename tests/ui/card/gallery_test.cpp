// Renders the card views in their typical states to PNG files in the build tree
// (<build>/gallery), for a person to look at beside the layout rules.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <filesystem>

#include "ui/card/card_fixture.h"
#include "ui/card/device_card.h"
#include "ui/card/main_content.h"
#include "ui/theme/action_button.h"
#include "ui/theme/menu_button.h"
#include "ui/theme/pixel_check.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

using nlohmann::ordered_json;

std::filesystem::path galleryDir() {
    const auto dir = test::bundleDir().parent_path() / "gallery";
    std::filesystem::create_directories(dir);
    return dir;
}

void save(const QImage& image, const std::string& name) {
    EXPECT_TRUE(image.save(QString::fromStdString((galleryDir() / name).string())));
}

ordered_json runningState(int health) {
    ordered_json state = {{"status", 3},       {"health", health},  {"sampleRate", 48000},
                          {"blockFrames", 64}, {"inputLevels", {}}, {"outputLevels", {}}};
    state["inputLevels"] = {test::levelEntry(0, 126), test::levelEntry(1, 300)};
    state["outputLevels"] = {test::levelEntry(0, 900), test::levelEntry(1, 1000),
                             test::levelEntry(2, 40)};
    return state;
}

std::deque<Telemetry> history(int count) {
    std::deque<Telemetry> samples;
    for (int i = 0; i < count; ++i) {
        samples.push_back(
            test::sample({{"asio_queue_depth_centi_blocks", 150 + (i * 37) % 90},
                          {"net_time_probe_last_rtt_microseconds", 400 + (i % 7) * 60},
                          {"net_time_probe_p99_rtt_microseconds", 600},
                          {"net_sync_age_p99_microseconds", 800},
                          {"underrun_count", 2},
                          {"playback_dropped_count", 1},
                          {"capture_dropped_count", 3}}));
    }
    return samples;
}

struct Scene {
    std::string title;
    Profile profile;
    std::shared_ptr<ClientRuntime> runtime;
};

std::vector<Scene> scenes() {
    std::vector<Scene> list;
    list.push_back({"stopped", test::cardProfile(), std::make_shared<ClientRuntime>()});
    list.push_back(
        {"starting", test::cardProfile("0,1,2,3", "0,1"), test::runningRuntime({{"status", 1}})});
    list.push_back(
        {"running", test::cardProfile("0,1", "0,1,2"), test::runningRuntime(runningState(1))});
    auto warnings = runningState(0);
    warnings["healthMessageKey"] = "status.waiting_sync";
    list.push_back({"warnings", test::cardProfile("", "0,1"), test::runningRuntime(warnings)});
    auto unreachable = test::runningRuntime(runningState(1));
    unreachable->commandFailed = true;
    list.push_back({"unreachable", test::cardProfile(), unreachable});
    auto expanded = test::runningRuntime(runningState(1));
    expanded->expanded = true;
    expanded->samples = history(45);
    expanded->state["recoveryEvents"] = ordered_json::array();
    for (int i = 1; i <= 7; ++i) {
        expanded->state["recoveryEvents"].push_back(
            {{"messageKey", ""}, {"reason", "recovery event " + std::to_string(i)}});
    }
    Profile wide = test::cardProfile("0,1,2,3,4,5,6,7,8,9,10,11", "0,1,2,3,4,5,6,7,8,9,10,11");
    wide.name = "Front of house with a rather long device name";
    list.push_back({"expanded", wide, expanded});
    auto quiet = std::make_shared<ClientRuntime>();
    quiet->expanded = true;
    list.push_back({"expanded-stopped", test::cardProfile(), quiet});
    return list;
}

QImage renderCard(const Scene& scene, int width, qreal ratio) {
    DeviceCard card(scene.profile, scene.runtime);
    card.resize(width, card.requestedHeight());
    // Shown (on the offscreen screen) so the meter strip decides on its scroller as it would.
    card.show();
    card.refresh();
    QCoreApplication::processEvents();
    return test::renderWidget(card, ratio);
}

QImage stack(const std::vector<QImage>& images, qreal ratio) {
    int w = 0, h = 12;
    for (const auto& image : images) {
        w = std::max(w, int(image.width() / ratio));
        h += int(image.height() / ratio) + 12;
    }
    QImage sheet(QSize(w + 24, h) * ratio, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(Theme::background());
    QPainter painter(&sheet);
    int y = 12;
    for (const auto& image : images) {
        painter.drawImage(QPointF(12, y), image);
        y += int(image.height() / ratio) + 12;
    }
    return sheet;
}

TEST(CardGalleryTest, RendersEveryCardState) {
    test::loadEnglish();
    const auto list = scenes();
    for (int width : {900, 620}) {
        std::vector<QImage> images;
        for (const Scene& scene : list)
            images.push_back(renderCard(scene, width, 1.0));
        save(stack(images, 1.0), "cards-" + std::to_string(width) + ".png");
    }
    save(renderCard(list[5], 900, 2.0), "card-expanded@2x.png");
    save(renderCard(list[2], 900, 2.0), "card-running@2x.png");
    for (const Scene& scene : list)
        test::stopRuntime(*scene.runtime);
}

TEST(CardGalleryTest, RendersEveryGlyphInEveryButtonState) {
    PanelView sheet;
    sheet.setFill(Theme::card());
    const int columns = 7;
    sheet.resize(12 + columns * 44 + 220, 12 + int(allGlyphs.size()) * 44 + 60);
    for (size_t g = 0; g < allGlyphs.size(); ++g) {
        for (int state = 0; state < columns; ++state) {
            auto* button = new ActionButton(QString(), allGlyphs[g], {}, &sheet);
            button->setGeometry(12 + state * 44, 12 + int(g) * 44, 32, 32);
            button->setHovering(state == 1);
            button->setAccent(state == 2);
            button->setAttention(state == 3);
            button->setLink(state == 4 || state == 5);
            button->setHovering(state == 1 || state == 5);
            button->setEnabled(state != 6);
        }
    }
    auto* titled = new ActionButton("Lower latency: the network is fast", std::nullopt, {}, &sheet);
    titled->setLink(true);
    titled->setGeometry(12 + columns * 44, 12, 200, 25);
    auto* plain = new ActionButton("Save", std::nullopt, {}, &sheet);
    plain->setGeometry(12 + columns * 44, 56, 90, 28);
    auto* accent = new ActionButton("Add", std::nullopt, {}, &sheet);
    accent->setAccent(true);
    accent->setGeometry(12 + columns * 44 + 100, 56, 90, 28);
    auto* menu = new MenuButton(&sheet);
    menu->setChoices(QStringList{"Default", "Studio"});
    menu->setGeometry(12 + columns * 44, 100, 176, 32);
    auto* disabledMenu = new MenuButton(&sheet);
    disabledMenu->setChoices(QStringList{"Default"});
    disabledMenu->setEnabled(false);
    disabledMenu->setGeometry(12 + columns * 44, 144, 176, 32);
    save(test::renderWidget(sheet, 1.0), "glyphs.png");
    save(test::renderWidget(sheet, 2.0), "glyphs@2x.png");
}

}  // namespace
}  // namespace vornisel
