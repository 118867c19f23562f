#pragma once

#include <QString>

// Pages come from the fetcher decoded byte for byte as ISO 8859-1, and the
// markers are matched on that text. Most music sites serve UTF-8, so a field
// cut from such a page holds each accented letter as two or three wrong
// characters ("Bj\u00c3\u00b6rk"). These helpers put the real text back.

// True when every character is below 256 and the bytes they stand for form
// valid UTF-8 (overlong forms, surrogates and values past U+10FFFF refused).
bool IsLatin1BytesValidUtf8(const QString& text);

// A field as cut from a page: decoded as UTF-8 when its characters are all
// below 256 and their bytes form valid UTF-8 holding at least one multi-byte
// sequence; otherwise unchanged (plain ASCII and genuine ISO 8859-1 text stay
// as they are). A null text stays null.
QString RepairUtf8Field(const QString& field);

// A text field as it enters from the web, cleaned once here: UTF-8 put back
// (RepairUtf8Field), the characters that must not reach a name, a tag or the
// terminal removed (withoutUnsafeChars), and at most WebLimits::kMaxFieldChars
// characters kept (never half a surrogate pair). A null text stays null.
QString WebField(const QString& cut);
// A field cut from a page's HTML: its tags removed and its entities decoded
// (stringByRemovingHTMLTags), then cleaned as WebField cleans.
QString WebFieldFromHTML(const QString& html);
// The same for text that arrives decoded (JSON): no UTF-8 repair.
QString CleanWebText(const QString& text);

// Whether every character has an equivalent in the Mac OS Roman character
// set, the set legacy disc records were written in.
bool FitsMacRoman(const QString& text);
