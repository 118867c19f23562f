#pragma once

#include <QString>

// Reads a decimal integer from the start of `text` as a C scan does: leading
// white space is skipped, then an optional sign and digits; anything after
// them is ignored. Values saturate at the int range instead of overflowing.
// Returns false (and 0) when no digit follows; `end` receives the index just
// past the digits.
bool ScanLeadingInt(const QString& text, qsizetype from, int& value, qsizetype* end = nullptr);

// The integer at the start of a text, 0 when it has none.
int IntValue(const QString& text);
