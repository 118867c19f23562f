#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// Answers of the web sources captured under tests/data.

// A captured page ("freedb/search.html") as its bytes, and as the fetcher
// hands pages to the parsers: each byte one character.
std::string capturedBytes(const char* path);
QString capturedPage(const char* path);

// A captured answer of MusicBrainz or the Cover Art Archive ("release.json"
// under tests/data/musicbrainz); empty when there is none.
QByteArray capturedMusicBrainz(const QString& name);
