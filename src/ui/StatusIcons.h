#pragma once

#include "docs/StatusDecisions.h"

#include <QImage>
#include <QPalette>
#include <QString>

#include <array>

class QPainter;
class QPointF;
class QRect;

// The fifteen status icons of the track tables: one per indicator letter in
// red (saving changes it), grey (left alone) and green (already right); the
// red ones also differ in shape, for eyes that do not tell red from green.
// They are painted as vectors in colours chosen for the palette's rows (light
// or dark), so they stay sharp at any scale; images of them go by the
// resource names the tables know them by ("Red Num", "Gray A", ...).
class StatusIcons {
public:
    enum Letter { Num, A, I, F, T };
    enum Color { Red, Gray, Green };
    static constexpr int kSize = 16;

    // The base name of one icon: "Red Num", "Gray A", "Green T".
    static QString resourceName(Letter letter, Color color);
    // The icon by base name; a null image for an unknown name.
    static QImage image(const QString& name);
    // The icon for rows of this palette, `scale` device pixels per pixel.
    static QImage image(Letter letter, Color color, const QPalette& palette = QPalette(),
                        qreal scale = 1);
    // Paints one letter with its top-left corner at `at`.
    static void paintLetter(QPainter* painter, const QPointF& at, Letter letter, Color color,
                            const QPalette& palette);

    // The indicator row: A, F, I, T, Num from the rect's left edge, each
    // 16 pixels wide and centred vertically. Colours are given per letter
    // (indexed by Letter).
    static void paintRow(QPainter* painter, const QRect& rect, const std::array<Color, 5>& colors,
                         const QPalette& palette = QPalette());
    // The icon colours of a decided status row, indexed by Letter.
    static std::array<Color, 5> colorsOf(const StatusRow& row);
    // What a row says in words, for screen readers and tool tips:
    // "Artist: will change, File name: already right, ...".
    static QString accessibleText(const std::array<Color, 5>& colors);
    // The order the row shows the letters in.
    static constexpr std::array<Letter, 5> kRowOrder{A, F, I, T, Num};
};
