#pragma once

#include <QString>

// A UTF-16 literal of a table of text cases as a string.
inline QString q(const char16_t* s) {
    return QString::fromUtf16(s);
}
