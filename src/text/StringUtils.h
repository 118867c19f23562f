#pragma once
#include <QStringList>
QString stringWithString(const QString& text, const QString& removingCharacters);
QString joinSeparatedStrings(const QStringList& list, const QString& delimiter, int startingAt);
