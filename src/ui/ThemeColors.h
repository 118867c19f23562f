#pragma once

#include <QColor>
#include <QPalette>

// The few colours of the tables that carry meaning, derived from the
// widget's palette so they read on a light and on a dark background alike:
// "will change" red, "already right" green and "left alone" grey, each
// adjusted until it reaches a contrast of 4.5:1 against the rows it is drawn
// on (base and alternate base).
class ThemeColors {
public:
    enum Meaning { WillChange, AlreadyRight, LeftAlone };

    // Whether the palette draws dark rows (light text on a dark base).
    static bool isDark(const QPalette& palette);
    // The text colour of a meaning on this palette's rows.
    static QColor text(Meaning meaning, const QPalette& palette);
    // The fill of a status letter of that meaning, and the letter's own
    // colour on it.
    static QColor fill(Meaning meaning, const QPalette& palette);
    static QColor onFill(const QColor& fill);

    // The WCAG contrast ratio of two colours (1 to 21).
    static double contrast(const QColor& a, const QColor& b);
    static double luminance(const QColor& color);

    // A dark Fusion palette, for screenshots and tests.
    static QPalette darkPalette();
};
