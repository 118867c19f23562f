#include "ui/StatusIcons.h"

#include "ui/ThemeColors.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QStringList>
#include <QtMath>

namespace {

const char* const kLetterNames[] = {"Num", "A", "I", "F", "T"};
const char* const kLetterGlyphs[] = {"#", "A", "I", "F", "T"};
const char* const kColorNames[] = {"Red", "Gray", "Green"};

ThemeColors::Meaning meaningOf(StatusIcons::Color color) {
    switch (color) {
    case StatusIcons::Red:
        return ThemeColors::WillChange;
    case StatusIcons::Green:
        return ThemeColors::AlreadyRight;
    case StatusIcons::Gray:
        break;
    }
    return ThemeColors::LeftAlone;
}

} // namespace

QString StatusIcons::resourceName(Letter letter, Color color) {
    return QStringLiteral("%1 %2").arg(QLatin1String(kColorNames[color]),
                                       QLatin1String(kLetterNames[letter]));
}

QImage StatusIcons::image(const QString& name) {
    for (int c = Red; c <= Green; ++c)
        for (int l = Num; l <= T; ++l)
            if (resourceName(Letter(l), Color(c)) == name) return image(Letter(l), Color(c));
    return {};
}

QImage StatusIcons::image(Letter letter, Color color, const QPalette& palette, qreal scale) {
    const int side = qCeil(kSize * scale);
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintLetter(&p, QPointF(0, 0), letter, color, palette);
    return img;
}

void StatusIcons::paintLetter(QPainter* p, const QPointF& at, Letter letter, Color color,
                              const QPalette& palette) {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->translate(at);
    QPainterPath path;
    path.addRoundedRect(QRectF(1, 1, kSize - 2, kSize - 2), 3, 3);
    // A letter that will change has a second cue besides red, for eyes that
    // do not tell red from green: a bold outline and its top-right corner
    // cut off.
    if (color == Red) {
        QPainterPath corner;
        corner.moveTo(kSize - 6, 0);
        corner.lineTo(kSize, 0);
        corner.lineTo(kSize, 6);
        corner.closeSubpath();
        path = path.subtracted(corner);
    }
    const QColor fill = ThemeColors::fill(meaningOf(color), palette);
    p->fillPath(path, fill);
    const bool darkRows = ThemeColors::isDark(palette);
    const QColor edge =
        darkRows ? fill.lighter(color == Red ? 150 : 125) : fill.darker(color == Red ? 170 : 140);
    p->setPen(QPen(edge, color == Red ? 2 : 1));
    p->drawPath(path);
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    p->setFont(font);
    p->setPen(ThemeColors::onFill(fill));
    p->drawText(QRectF(0, 0, kSize, kSize), Qt::AlignCenter, QLatin1String(kLetterGlyphs[letter]));
    p->restore();
}

QString StatusIcons::accessibleText(const std::array<Color, 5>& colors) {
    static const char* const kLetterWords[] = {"Track number", "Artist", "Album info", "File name",
                                               "Title"};
    QStringList parts;
    for (Letter letter : kRowOrder) {
        const char* state = colors[letter] == Red     ? "will change"
                            : colors[letter] == Green ? "already right"
                                                      : "left alone";
        parts << QStringLiteral("%1: %2").arg(QLatin1String(kLetterWords[letter]),
                                              QLatin1String(state));
    }
    return parts.join(QStringLiteral(", "));
}

void StatusIcons::paintRow(QPainter* painter, const QRect& rect, const std::array<Color, 5>& colors,
                           const QPalette& palette) {
    const qreal top = rect.top() + (rect.height() - kSize) / 2.0;
    qreal x = rect.left();
    for (Letter letter : kRowOrder) {
        paintLetter(painter, QPointF(x, top), letter, colors[letter], palette);
        x += kSize;
    }
}

std::array<StatusIcons::Color, 5> StatusIcons::colorsOf(const StatusRow& row) {
    const auto color = [](StatusColor c) {
        switch (c) {
        case ::Red: return Red;
        case ::Green: return Green;
        case ::Grey: return Gray;
        }
        return Gray;
    };
    std::array<Color, 5> colors;
    colors[A] = color(row.A);
    colors[F] = color(row.F);
    colors[I] = color(row.I);
    colors[T] = color(row.T);
    colors[Num] = color(row.Num);
    return colors;
}
