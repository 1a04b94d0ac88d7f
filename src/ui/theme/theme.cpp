#include "ui/theme/theme.h"

#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <cmath>
#include <map>

#include "ui/theme/panel_style.h"
#include "ui/theme/theme_label.h"

namespace vornisel {

namespace {

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

// The family that renders for the desktop's general font, with sans-serif behind it (DejaVu Sans
// on a bare system). Asked of fontconfig itself: asking Qt would load a whole font for the answer.
QString sansFamily() {
    static const QString family = [] {
        const QByteArray general =
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toUtf8();
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(general.data()));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcChar8* name = nullptr;
        QString resolved;
        if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
            resolved = QString::fromUtf8(reinterpret_cast<const char*>(name));
        }
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
        return resolved.isEmpty() ? QStringLiteral("DejaVu Sans") : resolved;
    }();
    return family;
}

QString oneLine(QString text) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

}  // namespace

const QColor& Theme::background() {
    static const QColor c = rgb(31, 34, 39);
    return c;
}
const QColor& Theme::header() {
    static const QColor c = rgb(36, 40, 47);
    return c;
}
const QColor& Theme::card() {
    static const QColor c = rgb(43, 48, 56);
    return c;
}
const QColor& Theme::control() {
    static const QColor c = rgb(48, 54, 64);
    return c;
}
const QColor& Theme::border() {
    // 3:1 or more against the background, the header, the cards and the controls.
    static const QColor c = rgb(120, 130, 145);
    return c;
}
const QColor& Theme::text() {
    static const QColor c = rgb(245, 247, 250);
    return c;
}
const QColor& Theme::secondary() {
    static const QColor c = rgb(174, 184, 196);
    return c;
}
const QColor& Theme::accent() {
    static const QColor c = rgb(37, 99, 235);
    return c;
}
const QColor& Theme::link() {
    static const QColor c = rgb(76, 157, 248);
    return c;
}
const QColor& Theme::focusRing() {
    static const QColor c = rgb(255, 255, 255);
    return c;
}
const QColor& Theme::warning() {
    static const QColor c = rgb(215, 168, 58);
    return c;
}
const QColor& Theme::fieldFill() {
    static const QColor c = rgb(37, 42, 49);
    return c;
}

QColor Theme::color(uint32_t value) {
    return QColor(static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>(value & 0xFF));
}

QFont Theme::font(qreal size, bool bold) {
    // Fonts are asked for on every paint; building and resolving them once per size keeps a full
    // window repaint cheap.
    static std::map<std::pair<int, bool>, QFont> cache;
    const int pixels = std::max(1, static_cast<int>(std::lround(size)));
    const auto key = std::make_pair(pixels, bold);
    auto found = cache.find(key);
    if (found != cache.end()) return found->second;
    QFont font(sansFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return cache.emplace(key, font).first->second;
}

QLabel* Theme::label(const QString& text, qreal size, const QColor& color, bool bold,
                     QWidget* parent) {
    auto* label = new ThemeLabel(text, parent);
    label->setFont(font(size, bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QLabel* Theme::label(const std::string& text, qreal size, const QColor& color, bool bold,
                     QWidget* parent) {
    return label(qtext(text), size, color, bold, parent);
}

QLineEdit* Theme::field(const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setFont(font(13));
    field->setFrame(false);
    // A plain one-pixel border rather than the style's bevel, in the field colours.
    field->setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid "
                                        "%3; padding: 0 3px; selection-background-color: %4; }"
                                        "QLineEdit:disabled { color: %5; }"
                                        "QLineEdit:focus { border: 2px solid %6; padding: 0 2px; }")
                             .arg(fieldFill().name(), Theme::text().name(), border().name(),
                                  accent().name(), QColor(111, 119, 130).name(),
                                  focusRing().name()));
    return field;
}

QLineEdit* Theme::field(const std::string& text, QWidget* parent) {
    return field(qtext(text), parent);
}

void Theme::drawLine(QPainter& painter, const QString& text, const QRectF& rect, const QFont& font,
                     const QColor& color, Qt::Alignment align) {
    if (text.isEmpty() || rect.width() <= 0) return;
    const QFontMetricsF metrics(font);
    const QString line = metrics.elidedText(oneLine(text), Qt::ElideRight, rect.width());
    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    const Qt::Alignment vertical = align & Qt::AlignVertical_Mask;
    const Qt::Alignment horizontal = align & Qt::AlignHorizontal_Mask;
    painter.drawText(
        rect,
        int((horizontal ? horizontal : Qt::AlignLeft) | (vertical ? vertical : Qt::AlignTop)) |
            Qt::TextSingleLine | Qt::TextDontClip,
        line);
    painter.restore();
}

void Theme::draw(QPainter& painter, const QString& text, const QRectF& rect, qreal size,
                 const QColor& color, bool bold, Qt::Alignment align) {
    drawLine(painter, text, rect, font(size, bold), color,
             (align & Qt::AlignHorizontal_Mask) | Qt::AlignTop);
}

void Theme::draw(QPainter& painter, const std::string& text, const QRectF& rect, qreal size,
                 const QColor& color, bool bold, Qt::Alignment align) {
    draw(painter, qtext(text), rect, size, color, bold, align);
}

void Theme::outline(QPainter& painter, const QRectF& rect, const QColor& color) {
    // The same area as a one-point stroke of the rectangle inset by half a point with mitred
    // corners, laid down as four strips: a stroked path leaves its corner pixels partly covered.
    const qreal x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    if (w <= 0 || h <= 0) return;
    painter.fillRect(QRectF(x, y, w, std::min<qreal>(1, h)), color);
    if (h > 1) painter.fillRect(QRectF(x, y + h - 1, w, 1), color);
    if (h > 2) {
        painter.fillRect(QRectF(x, y + 1, std::min<qreal>(1, w), h - 2), color);
        if (w > 1) painter.fillRect(QRectF(x + w - 1, y + 1, 1, h - 2), color);
    }
}

void Theme::focusFrame(QPainter& painter, const QRectF& rect) {
    outline(painter, rect, focusRing());
    outline(painter, rect.adjusted(1, 1, -1, -1), focusRing());
}

void Theme::applyDarkAppearance(QApplication& app) {
    app.setStyle(new PanelStyle);
    const QColor disabled(111, 119, 130);
    QPalette p;
    p.setColor(QPalette::Window, background());
    p.setColor(QPalette::WindowText, text());
    p.setColor(QPalette::Base, fieldFill());
    p.setColor(QPalette::AlternateBase, card());
    p.setColor(QPalette::ToolTipBase, header());
    p.setColor(QPalette::ToolTipText, text());
    p.setColor(QPalette::PlaceholderText, secondary());
    p.setColor(QPalette::Text, text());
    p.setColor(QPalette::Button, control());
    p.setColor(QPalette::ButtonText, text());
    p.setColor(QPalette::BrightText, warning());
    p.setColor(QPalette::Light, border().lighter(130));
    p.setColor(QPalette::Midlight, border());
    p.setColor(QPalette::Mid, control());
    p.setColor(QPalette::Dark, QColor(23, 26, 30));
    p.setColor(QPalette::Shadow, QColor(10, 11, 13));
    p.setColor(QPalette::Highlight, accent());
    p.setColor(QPalette::HighlightedText, text());
    p.setColor(QPalette::Link, link());
    p.setColor(QPalette::LinkVisited, link());
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, disabled);
    }
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(26, 29, 34));
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(26, 29, 34));
    p.setColor(QPalette::Disabled, QPalette::Highlight, border());
    app.setPalette(p);
    app.setFont(font(13));
}

}  // namespace vornisel
