#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <string>

class QApplication;
class QLabel;
class QLineEdit;
class QPainter;

namespace vornisel {

// The panel's one source of colours, fonts and text drawing. It has no instances: every view of
// the card and dialog layers draws through these so the dark look stays consistent.
class Theme {
public:
    Theme() = delete;

    // The palette; each colour is created on first use and shared for the life of the process.
    static const QColor& background();
    static const QColor& header();
    static const QColor& card();
    static const QColor& control();
    static const QColor& border();
    static const QColor& text();
    static const QColor& secondary();
    // The fill of accented controls (selected tab, Add, routed cells, ticked boxes): white text
    // on it reads at 4.5:1 or more.
    static const QColor& accent();
    // Accent-coloured text and thin strokes on the dark panels (links), at 4.5:1 on a card.
    static const QColor& link();
    // The ring around the control that has the keyboard focus: 3:1 or more against the panels,
    // the controls and the accent fill alike.
    static const QColor& focusRing();
    static const QColor& warning();
    // The fill of text fields, also used by enabled pop-up buttons.
    static const QColor& fieldFill();

    // A colour from a 0xRRGGBB value; bits above 23 are ignored.
    static QColor color(uint32_t rgb);

    // The desktop's sans-serif font at `size` pixels (one device-independent pixel per point).
    static QFont font(qreal size, bool bold = false);

    // A read-only single-line label whose text is cut with an ellipsis at the tail when it does
    // not fit. The caller sets the geometry.
    static QLabel* label(const QString& text, qreal size = 13, const QColor& color = Theme::text(),
                         bool bold = false, QWidget* parent = nullptr);
    static QLabel* label(const std::string& text, qreal size = 13,
                         const QColor& color = Theme::text(), bool bold = false,
                         QWidget* parent = nullptr);

    // An editable text field in the panel's field colours. The caller sets the geometry.
    static QLineEdit* field(const QString& text, QWidget* parent = nullptr);
    static QLineEdit* field(const std::string& text, QWidget* parent = nullptr);

    // Draws one line of text from the top of `rect`, never wrapping: text that does not fit ends
    // with an ellipsis. Only the horizontal part of `align` is used.
    static void draw(QPainter& painter, const QString& text, const QRectF& rect, qreal size,
                     const QColor& color = Theme::text(), bool bold = false,
                     Qt::Alignment align = Qt::AlignLeft);
    static void draw(QPainter& painter, const std::string& text, const QRectF& rect, qreal size,
                     const QColor& color = Theme::text(), bool bold = false,
                     Qt::Alignment align = Qt::AlignLeft);
    // The same with a ready font; `align` may carry a vertical part here (labels use it).
    static void drawLine(QPainter& painter, const QString& text, const QRectF& rect,
                         const QFont& font, const QColor& color, Qt::Alignment align);

    // A one-point outline just inside `rect` (a stroke of the rectangle inset by half a point):
    // it covers exactly the edge rows of pixels, with square corners, at 1x and 2x alike.
    static void outline(QPainter& painter, const QRectF& rect, const QColor& color);
    // The keyboard focus: a two-point ring in focusRing() just inside `rect`.
    static void focusFrame(QPainter& painter, const QRectF& rect);

    // Fusion style with a dark palette made of the colours above, and the default font at 13
    // pixels, so standard widgets (fields, check boxes, scroll bars, menus) match the drawn views
    // whatever the desktop theme is.
    static void applyDarkAppearance(QApplication& app);
};

inline QString qtext(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace vornisel
