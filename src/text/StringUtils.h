#pragma once

#include <QString>
#include <QStringList>

// The text, or an empty text for a null one (a score entry or a typed field
// tells "nothing" apart from "not given" by it).
QString orEmpty(const QString& text);

// The text with every character of removingCharacters taken out, the rest in
// order. A null text stays null.
QString stringWithString(const QString& text, const QString& removingCharacters);

// list[startingAt], then delimiter and element for each later element.
// A start index outside the list gives a null QString.
QString joinSeparatedStrings(const QStringList& list, const QString& delimiter, int startingAt);

// Whether a character must never reach a name, a tag or the terminal: the C0
// and C1 controls, DEL, and the bidirectional overrides and isolates that
// reorder what is shown (U+202A to U+202E, U+2066 to U+2069).
bool isUnsafeChar(QChar c);
// The text without those characters, except that tab, line feed, vertical
// tab, form feed and carriage return become a space, so words on two lines
// stay apart. A null text stays null.
QString withoutUnsafeChars(const QString& text);
