#include "web/sources/AmazonMusic.h"

#include "web/WebHelpers.h"

namespace {

QString searchAddress(const QString& base, const char* index, const QString& text) {
    return base +
           QStringLiteral("/exec/obidos/search-handle-url/ix=%1&field-keywords=")
               .arg(QLatin1String(index)) +
           EscapeForURLQuiet(text);
}

} // namespace

QString AmazonMusic::artistLookupString(const QString& base, const QString& artist) {
    return searchAddress(base, "music-artist", artist);
}

QString AmazonMusic::albumLookupString(const QString& base, const QString& album) {
    return searchAddress(base, "music-album", album);
}

QString AmazonMusic::songLookupString(const QString& base, const QString& song) {
    return albumLookupString(base, song);
}

void AmazonMusic::lookUpArtist(const QString& base, const QString& artist) {
    OpenURLInBrowserQuiet(artistLookupString(base, artist));
}

void AmazonMusic::lookUpAlbum(const QString& base, const QString& album) {
    OpenURLInBrowserQuiet(albumLookupString(base, album));
}

void AmazonMusic::lookUpSong(const QString& base, const QString& song) {
    OpenURLInBrowserQuiet(songLookupString(base, song));
}
