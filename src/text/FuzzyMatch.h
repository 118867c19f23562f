#pragma once

#include <QString>

// Ratcliff/Obershelp likeness of two names, 0 (nothing in common, or an
// empty argument) to 100 (identical). Case, spaces and accents all count.
// Not symmetric: callers keep their argument order.
int FuzzyCompare(const QString& a, const QString& b);

// Units that a[s1, e1) and b[s2, e2) have in common. Both ranges lie inside
// zero-terminated buffers: a run is measured up to the first buffer's
// terminating zero, not to e1/e2.
int GCsubstr(const char16_t* s1, const char16_t* e1, const char16_t* s2, const char16_t* e2);

// Whether the text ends in ASCII digits followed only by spaces
// ("Track 12", " 7 "; not "12a").
bool IsNumeric(const QString& text);
