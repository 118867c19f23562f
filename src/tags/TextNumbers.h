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

// A year as tags and names carry it: 1 to 4 digits once trimmed, or the year
// of an ISO date ("2004-05-01", "1999-03-25T14:30:00", as MPEG-4 and ID3v2.4
// store them). Anything else is no year: empty text. Null stays null.
QString YearText(const QString& text);
