#pragma once

#include <QString>
#include <QStringList>

// The text with every character of removingCharacters taken out, the rest in
// order. A null text stays null.
QString stringWithString(const QString& text, const QString& removingCharacters);

// list[startingAt], then delimiter and element for each later element.
// A start index outside the list gives a null QString.
QString joinSeparatedStrings(const QStringList& list, const QString& delimiter, int startingAt);
