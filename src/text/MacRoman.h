#pragma once

#include <QString>

// Whether every character of the text has a Mac OS Roman code: the genre and
// the track fields must stay within what older players can show.
bool canBeMacRoman(const QString& text);
