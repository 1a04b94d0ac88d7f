#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "model/profile.h"

namespace vornisel {

class ClientRuntime;

// The number of meter columns of one direction: the channels of the list, at least one.
int meterColumns(const std::string& channels);

// The level of driver channel `channel` in dBFS, -60 to 0, from an engine level list: the first
// entry whose "driverChannel" is that channel, by its "peakMilli". -60 when there is none.
double meterLevel(const nlohmann::ordered_json& levels, int channel);
// The bar height, 0 to 48 points, of a level in dBFS.
double meterHeight(double level);
// Red from -1 dBFS, yellow from -12 dBFS, green below.
QColor meterColor(double level);

// Everything the bridge draws, computed from the profile and the runtime's state.
struct MeterPicture {
    struct Text {
        QString text;
        QRectF rect;
    };
    struct Column {
        int channel = 0;
        double level = -60;
        QRectF well;
        QRectF bar;  // empty when the level is at the floor
        QColor color;
        Text label;
    };
    std::vector<Text> captions;
    std::vector<Text> dashes;  // the em dash of a group with no channels
    std::vector<Column> columns;
};

MeterPicture meterPicture(const Profile& profile, const ClientRuntime& runtime);

// The levels in words, "channel 1: -12 dB; channel 2: -60 dB", for assistive tools.
QString levelsText(const MeterPicture& picture);

// One vertical peak meter per driver channel of the device, inputs then outputs, from the levels
// the running engine reports.
class MeterBridge : public QWidget {
    Q_OBJECT
public:
    MeterBridge(const Profile& profile, std::shared_ptr<ClientRuntime> runtime,
                QWidget* parent = nullptr);

    // (inputs + outputs) x 16 + 26, each direction counted as at least one column.
    static int naturalWidth(const Profile& profile);
    int naturalWidth() const { return naturalWidth(profile_); }

    // Reads the runtime again and redraws.
    void refresh();
    const MeterPicture& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawColumn(QPainter& painter, const MeterPicture::Column& column) const;

    Profile profile_;
    std::shared_ptr<ClientRuntime> runtime_;
    MeterPicture picture_;
};

}  // namespace vornisel
