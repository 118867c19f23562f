#include "web/sources/AmazonMusic.h"

#include "app/Preferences.h"
#include "web/WebHelpers.h"
#include "web/sources/SourceSupport.h"

namespace {

QString searchAddress(const char* index, const QString& text) {
    return SourceSupport::baseURL(Prefs::kAmazonBaseURL) +
           QStringLiteral("/exec/obidos/search-handle-url/ix=%1&field-keywords=")
               .arg(QLatin1String(index)) +
           EscapeForURLQuiet(text);
}

} // namespace

QString AmazonMusic::artistLookupString(const QString& artist) {
    return searchAddress("music-artist", artist);
}

QString AmazonMusic::albumLookupString(const QString& album) {
    return searchAddress("music-album", album);
}

QString AmazonMusic::songLookupString(const QString& song) {
    return albumLookupString(song);
}

void AmazonMusic::lookUpArtist(const QString& artist) {
    OpenURLInBrowserQuiet(artistLookupString(artist));
}

void AmazonMusic::lookUpAlbum(const QString& album) {
    OpenURLInBrowserQuiet(albumLookupString(album));
}

void AmazonMusic::lookUpSong(const QString& song) {
    OpenURLInBrowserQuiet(songLookupString(song));
}
