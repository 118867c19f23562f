#include "text/SearchTerms.h"

SearchTerms SearchTerms::fromFields(const QString& artist, const QString& album) {
    SearchTerms terms;
    if (artist.isNull())
        terms.text = album.isNull() ? QString(u""_qs) : album;
    else if (album.isNull())
        terms.text = artist;
    else
        terms.text = artist + QStringLiteral(" / ") + album;
    terms.artist = artist.isNull() ? QString(u""_qs) : artist;
    terms.album = album.isNull() ? QString(u""_qs) : album;
    return terms;
}

SearchTerms SearchTerms::matching(const QString& text, const QString& artist,
                                  const QString& album) {
    SearchTerms fields = fromFields(artist, album);
    if (fields.text == text) return fields;
    return SearchTerms(text);
}
