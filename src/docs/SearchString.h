#pragma once

#include <QString>

// Search terms are one text: artist, " / ", album (or song title).
QString BuildSearchString(const QString& artist, const QString& album);

// Splits terms at the first " / ". Both outputs are null when there is none.
bool DecomposeSearchString(const QString& terms, QString* artist, QString* album);
