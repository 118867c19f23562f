#pragma once

#include <QString>
#include <QStringList>

// Title-case heuristics for names read from tags and web pages. Character
// classes are ASCII-only: units above 0x7F are never case-mapped.

// Title case, keeping the words of the exclusion list in lower case in the
// middle of a title. Null or empty gives an empty text.
QString SmartCapitalize(const QString& text);
// SmartCapitalize when `smart` is on (the preference), else the text as it is.
QString SmartCapitalizeIf(bool smart, const QString& text);

// Drops white space and punctuation and capitalizes each word's first
// letter: "the white album" -> "TheWhiteAlbum".
QString SqueezeString(const QString& text);

// Drops a leading "the", "a" or "an" (any case) and the white space behind it.
QString RemoveLeadingArticle(const QString& text);

// Loads the exclusion list once (safe from any thread). SmartCapitalize calls
// it itself; calling it at start-up just moves the file read earlier.
void InitSmartCapitalize();

// Reads an exclusion list file: "#" lines are comments, each other line
// gives its first word; lines longer than 127 bytes count as several lines.
// A missing file gives an empty list.
QStringList readSmartCapExclusionList(const QString& path);

// Replaces the loaded list. Tests only: not safe while other threads
// capitalize.
void setSmartCapExclusionListForTesting(const QStringList& words);
