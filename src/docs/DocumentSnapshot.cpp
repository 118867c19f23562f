#include "docs/DocumentSnapshot.h"

namespace {

// A null text means "absent", an empty one "present but empty": both count.
bool sameText(const QString& a, const QString& b) {
    return a.isNull() == b.isNull() && a == b;
}

} // namespace

bool DocumentSnapshot::sameEdits(const DocumentSnapshot& other) const {
    if (order != other.order || records.size() != other.records.size()) return false;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const AudioTrack& a = records[i];
        const AudioTrack& b = other.records[i];
        if (a.getNewTitle() != b.getNewTitle() || a.hasNewTitle() != b.hasNewTitle() ||
            a.getNewArtist() != b.getNewArtist())
            return false;
    }
    return sameText(artist, other.artist) && sameText(album, other.album) &&
           sameText(genre, other.genre) && sameText(year, other.year) &&
           lockAlbumInfo == other.lockAlbumInfo && variousArtists == other.variousArtists &&
           reverseArtistTitle == other.reverseArtistTitle &&
           currentAlbumDetails == other.currentAlbumDetails && hit == other.hit;
}
