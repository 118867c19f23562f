#pragma once

#include <QString>

// Search terms are one text: artist, " / ", album (or song title).
QString BuildSearchString(const QString& artist, const QString& album);

// Splits terms at the first " / "; terms that start with "/ " have no
// artist. Both outputs are null when there is no separator.
bool DecomposeSearchString(const QString& terms, QString* artist, QString* album);
