#include "ui/ThemeColors.h"

#include <QtMath>

namespace {

constexpr double kReadable = 4.5;

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : qPow((c + 0.055) / 1.055, 2.4);
}

// Moves the colour's lightness away from the rows' until it reads on both.
QColor readableOn(QColor color, const QPalette& palette) {
    const QColor rows[] = {palette.color(QPalette::Base), palette.color(QPalette::AlternateBase)};
    const bool dark = ThemeColors::isDark(palette);
    for (int step = 0; step < 40; ++step) {
        bool enough = true;
        for (const QColor& row : rows)
            enough = enough && ThemeColors::contrast(color, row) >= kReadable;
        if (enough) break;
        float h, s, l, a;
        color.getHslF(&h, &s, &l, &a);
        l = dark ? qMin(1.0f, l + 0.025f) : qMax(0.0f, l - 0.025f);
        color = QColor::fromHslF(h, s, l, a);
    }
    return color;
}

} // namespace

bool ThemeColors::isDark(const QPalette& palette) {
    return luminance(palette.color(QPalette::Base)) < luminance(palette.color(QPalette::Text));
}

QColor ThemeColors::text(Meaning meaning, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (meaning) {
    case WillChange:
        return readableOn(dark ? QColor(0xff, 0x7b, 0x72) : QColor(0xc0, 0x1c, 0x28), palette);
    case AlreadyRight:
        return readableOn(dark ? QColor(0x7e, 0xe7, 0x87) : QColor(0x1a, 0x7f, 0x37), palette);
    case LeftAlone: {
        // Halfway between the text and the rows, then made readable.
        const QColor t = palette.color(QPalette::Text);
        const QColor b = palette.color(QPalette::Base);
        return readableOn(
            QColor((t.red() + b.red()) / 2, (t.green() + b.green()) / 2, (t.blue() + b.blue()) / 2),
            palette);
    }
    }
    return palette.color(QPalette::Text);
}

QColor ThemeColors::fill(Meaning meaning, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (meaning) {
    case WillChange:
        return dark ? QColor(0xef, 0x53, 0x50) : QColor(0xc6, 0x28, 0x28);
    case AlreadyRight:
        return dark ? QColor(0x66, 0xbb, 0x6a) : QColor(0x2e, 0x7d, 0x32);
    case LeftAlone:
        return dark ? QColor(0x75, 0x75, 0x75) : QColor(0xa8, 0xa8, 0xa8);
    }
    return palette.color(QPalette::Mid);
}

QColor ThemeColors::onFill(const QColor& fill) {
    const QColor white(Qt::white), black(0x1e, 0x1e, 0x1e);
    return contrast(white, fill) >= contrast(black, fill) ? white : black;
}

double ThemeColors::luminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) +
           0.0722 * channel(rgb.blue());
}

double ThemeColors::contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QPalette ThemeColors::darkPalette() {
    QPalette p;
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x1e), text(0xe8, 0xe8, 0xe8);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2d));
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x55));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    p.setColor(QPalette::Mid, QColor(0x35, 0x35, 0x38));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xb4, 0x8c, 0xff));
    p.setColor(QPalette::Highlight, QColor(0x2f, 0x65, 0xca));
    p.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return p;
}
