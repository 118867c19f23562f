#include "ui/StatusIcons.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QStringList>

namespace {

const char* const kLetterNames[] = {"Num", "A", "I", "F", "T"};
const char* const kLetterGlyphs[] = {"#", "A", "I", "F", "T"};
const char* const kColorNames[] = {"Red", "Gray", "Green"};

QColor fillColor(StatusIcons::Color color) {
    switch (color) {
    case StatusIcons::Red: return QColor(0xd0, 0x21, 0x21);
    case StatusIcons::Gray: return QColor(0xa0, 0xa0, 0xa0);
    case StatusIcons::Green: return QColor(0x2a, 0x9d, 0x3a);
    }
    return Qt::black;
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

QImage StatusIcons::image(Letter letter, Color color) {
    // Drawn once per process; the images are implicitly shared after that.
    static QHash<int, QImage> cache;
    const int key = int(color) * 8 + int(letter);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.insert(key, draw(letter, color));
    return *it;
}

QImage StatusIcons::draw(Letter letter, Color color) {
    QImage img(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
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
    p.fillPath(path, fillColor(color));
    p.setPen(QPen(fillColor(color).darker(color == Red ? 170 : 140), color == Red ? 2 : 1));
    p.drawPath(path);
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QLatin1String(kLetterGlyphs[letter]));
    return img;
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

void StatusIcons::paintRow(QPainter* painter, const QRect& rect,
                           const std::array<Color, 5>& colors) {
    const int top = rect.top() + (rect.height() - kSize) / 2;
    int x = rect.left();
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (Letter letter : kRowOrder) {
        painter->drawImage(QPoint(x, top), image(letter, colors[letter]));
        x += kSize;
    }
    painter->restore();
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
