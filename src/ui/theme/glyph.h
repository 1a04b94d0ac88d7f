#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <array>

class QPainter;

namespace vornisel {

// The small vector icons that buttons carry. The order is the value of each case.
enum class Glyph {
    play,
    stop,
    add,
    save,
    settings,
    refresh,
    edit,
    info,
    trash,
    close,
    chevron,
    device
};

inline constexpr std::array<Glyph, 12> allGlyphs = {
    Glyph::play, Glyph::stop, Glyph::add,   Glyph::save,  Glyph::settings, Glyph::refresh,
    Glyph::edit, Glyph::info, Glyph::trash, Glyph::close, Glyph::chevron,  Glyph::device};

// The outline of a glyph inside its own 16 x 16 box, y growing downward.
QPainterPath glyphPath(Glyph glyph);

// Strokes `glyph` (1.2 wide, round caps and joins, never filled) centred on `rect`'s middle. The
// icon keeps its 16 x 16 size whatever the rectangle; the painter is left as it was found.
void drawGlyph(QPainter& painter, Glyph glyph, const QRectF& rect, const QColor& color);

}  // namespace vornisel
