#pragma once

#include <QString>

// Amazon is look-up only: the user can open its music search in the browser
// to check what the other sources found. Trovix never sends Amazon a request
// of its own. The text goes in escaped but otherwise as given (an artist's
// leading article stays).
class AmazonMusic {
public:
    // The base address preference ("AmazonBaseURL").
    static constexpr const char* kBaseURLKey = "AmazonBaseURL";

    // `base` is the base address as the caller read it (SourceOptions::
    // baseURL). Opens the artist search in the user's browser.
    static void lookUpArtist(const QString& base, const QString& artist);
    // The album-search address for an album text.
    static QString albumLookupString(const QString& base, const QString& album);
    // Amazon has no song search worth the name: the album search serves.
    static QString songLookupString(const QString& base, const QString& song);
    static void lookUpAlbum(const QString& base, const QString& album);
    static void lookUpSong(const QString& base, const QString& song);

private:
    static QString artistLookupString(const QString& base, const QString& artist);
};
