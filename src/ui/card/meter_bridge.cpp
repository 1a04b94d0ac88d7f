#include "ui/card/meter_bridge.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/client_runtime.h"
#include "engine/json_integer.h"
#include "l10n/localizer.h"
#include "ui/card/card_colors.h"
#include "ui/theme/theme.h"

namespace vornisel {

namespace {

constexpr double kFloor = -60.0;
constexpr double kWellTop = 18;
constexpr double kWellHeight = 48;

// A level list counts only when it is a list of objects, as the engine sends it.
const nlohmann::ordered_json* levelList(const ClientRuntime& runtime, const char* key) {
    if (!runtime.isRunning()) return nullptr;
    const auto found = runtime.state.find(key);
    if (found == runtime.state.end() || !found->is_array()) return nullptr;
    for (const auto& entry : *found) {
        if (!entry.is_object()) return nullptr;
    }
    return &*found;
}

void addGroup(MeterPicture& picture, double& x, const std::string& channelText,
              const nlohmann::ordered_json* levels, const std::string& caption) {
    const std::vector<int> channels = channelList(channelText);
    const double n = static_cast<double>(channels.size());
    // The caption may use the gap after its group, so that "Out" fits over a single meter.
    picture.captions.push_back({qtext(caption), QRectF(x - 2, 4, std::max(n, 1.0) * 16 + 8, 13)});
    if (channels.empty()) {
        picture.dashes.push_back({QString::fromUtf8("\u2014"), QRectF(x, 36, 16, 18)});
        x += 16;
    }
    static const nlohmann::ordered_json none = nlohmann::ordered_json::array();
    for (int channel : channels) {
        MeterPicture::Column column;
        column.channel = channel;
        column.level = meterLevel(levels ? *levels : none, channel);
        column.well = QRectF(x + 3, kWellTop, 10, kWellHeight);
        const double h = std::max(meterHeight(column.level), 0.0);
        column.bar = QRectF(x + 4, kWellTop + kWellHeight - h, 8, h);
        column.color = meterColor(column.level);
        column.label = {QString::number(static_cast<long long>(channel) + 1),
                        QRectF(x, 69, 16, 13)};
        picture.columns.push_back(column);
        x += 16;
    }
    x += 10;
}

// The meters to assistive tools: their levels as the value, read from the picture when asked, so
// that the meters moving sends nothing.
class MeterAccessible : public QAccessibleWidget {
public:
    explicit MeterAccessible(MeterBridge* bridge) : QAccessibleWidget(bridge, QAccessible::Chart) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return qtext(vornisel::tr("main.levels"));
        if (t != QAccessible::Value && t != QAccessible::Description)
            return QAccessibleWidget::text(t);
        return levelsText(static_cast<const MeterBridge*>(widget())->picture());
    }
};

QAccessibleInterface* meterAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("vornisel::MeterBridge")) return nullptr;
    return new MeterAccessible(static_cast<MeterBridge*>(object));
}

}  // namespace

QString levelsText(const MeterPicture& picture) {
    QStringList parts;
    for (const auto& column : picture.columns) {
        parts << qtext(tr("main.level", std::to_string(column.channel + 1),
                          std::to_string(static_cast<int>(std::lround(column.level)))));
    }
    return parts.join(QStringLiteral("; "));
}

int meterColumns(const std::string& channels) {
    return std::max<int>(static_cast<int>(channelList(channels).size()), 1);
}

double meterLevel(const nlohmann::ordered_json& levels, int channel) {
    if (!levels.is_array()) return kFloor;
    for (const auto& entry : levels) {
        if (!entry.is_object()) continue;
        const auto driver = entry.find("driverChannel");
        if (driver == entry.end() || exactInteger(*driver) != channel) continue;
        const auto peak = entry.find("peakMilli");
        const std::optional<int64_t> p = peak == entry.end() ? std::nullopt : exactInteger(*peak);
        if (!p || *p <= 0) return kFloor;
        const double milli = static_cast<double>(std::min<int64_t>(*p, 1000));
        return 20.0 * std::log10(std::max(milli / 1000.0, 0.001));
    }
    return kFloor;
}

double meterHeight(double level) {
    return std::min((level + 60.0) / 60.0 * kWellHeight, 48.0);
}

QColor meterColor(double level) {
    if (level >= -1) return QColor(Qt::red);
    if (level >= -12) return QColor(Qt::yellow);
    return card_colors::meterGreen();
}

MeterPicture meterPicture(const Profile& profile, const ClientRuntime& runtime) {
    MeterPicture picture;
    double x = 8;
    addGroup(picture, x, profile.driverInputs, levelList(runtime, "inputLevels"),
             tr("main.input_short"));
    addGroup(picture, x, profile.driverOutputs, levelList(runtime, "outputLevels"),
             tr("main.output_short"));
    return picture;
}

MeterBridge::MeterBridge(const Profile& profile, std::shared_ptr<ClientRuntime> runtime,
                         QWidget* parent)
    : QWidget(parent), profile_(profile), runtime_(std::move(runtime)) {
    static const bool factory = (QAccessible::installFactory(meterAccessible), true);
    (void)factory;
    setAttribute(Qt::WA_OpaquePaintEvent);
    refresh();
}

int MeterBridge::naturalWidth(const Profile& profile) {
    return (meterColumns(profile.driverInputs) + meterColumns(profile.driverOutputs)) * 16 + 26;
}

void MeterBridge::refresh() {
    picture_ = meterPicture(profile_, *runtime_);
    update();
}

void MeterBridge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Outlines sit on pixel centres (half-point insets), which antialiasing keeps crisp at 2x.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(rect(), card_colors::meterBackground());
    for (const auto& caption : picture_.captions) {
        Theme::draw(painter, caption.text, caption.rect, 9, card_colors::groupCaption(), true,
                    Qt::AlignHCenter);
    }
    for (const auto& dash : picture_.dashes) {
        Theme::draw(painter, dash.text, dash.rect, 10, Theme::secondary(), false, Qt::AlignHCenter);
    }
    for (const auto& column : picture_.columns)
        drawColumn(painter, column);
}

void MeterBridge::drawColumn(QPainter& painter, const MeterPicture::Column& column) const {
    painter.fillRect(column.well, card_colors::meterWell());
    Theme::outline(painter, column.well, card_colors::meterWellOutline());
    if (column.bar.height() > 0) painter.fillRect(column.bar, column.color);
    Theme::draw(painter, column.label.text, column.label.rect, 9, card_colors::channelLabel(),
                false, Qt::AlignHCenter);
}

}  // namespace vornisel
