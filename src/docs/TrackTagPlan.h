#pragma once

#include "tags/TagValues.h"

#include <QString>

class AudioTrack;
class AudioTrackArray;

// What a folder save writes to each record's file, decided in one place for
// the save plan, the status letters, the track table and the command line.
class TrackTagPlan {
public:
    TrackTagPlan(const TagValues& albumFields, bool variousArtists, const AudioTrackArray& songs);

    // In various-artists mode the record's new artist; else its own credit,
    // or the album's artist when it has none.
    QString artist(const AudioTrack& track) const;
    // The album's artist when some record's artist differs from it, so
    // players keep the album together; null when the save leaves the files'
    // album artist as it is.
    const QString& albumArtist() const { return fAlbumArtist; }
    // The values the record's file gets as the `row`-th of `count` files,
    // and the fields a save writes: the album fields, title, artist and
    // track number always, the album artist, disc and identifiers when
    // there are values for them.
    TagValues tags(const AudioTrack& track, int row, int count) const;
    TagFields fields(const AudioTrack& track) const;

private:
    TagValues fAlbum;
    bool fVariousArtists;
    QString fAlbumArtist;
};
