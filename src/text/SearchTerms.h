#pragma once

#include <QString>

// Search terms as a look-up hands them to a source: the text ("artist /
// album", or what the user typed) and, when the text is the artist and
// album fields' own composition, those fields. A source that asks for the
// artist and the album apart then needs to split only what the user typed,
// and an artist or album holding " / " is searched as it stands.
struct SearchTerms {
    QString text;
    QString artist; // null unless the text was composed from the fields
    QString album;

    // Typed terms. Implicit, so whatever takes terms takes a text too.
    SearchTerms(const QString& typed = QString()) : text(typed) {}
    // The fields' composition: "artist / album", the album alone without an
    // artist, the artist alone without an album.
    static SearchTerms fromFields(const QString& artist, const QString& album);
    // `text`, with the fields when it is their composition.
    static SearchTerms matching(const QString& text, const QString& artist, const QString& album);

    bool hasFields() const { return !artist.isNull() || !album.isNull(); }
    operator const QString&() const { return text; }
};
