#include "docs/TrackTagPlan.h"

#include "docs/SaveOptions.h"
#include "model/AudioTrack.h"
#include "model/AudioTrackArray.h"
#include "tags/TextNumbers.h"

namespace {

// The fields of `values` that hold a value.
TagFields present(const TagValues& values, TagFields among) {
    TagFields out;
    for (quint32 bit = 1; bit <= among.toInt(); bit <<= 1)
        if (among.testFlag(TagField(bit)) && !values.text(TagField(bit)).isNull())
            out |= TagField(bit);
    return out;
}

} // namespace

TrackTagPlan::TrackTagPlan(const TagValues& albumFields, bool variousArtists,
                           const AudioTrackArray& songs)
    : fAlbum(albumFields), fVariousArtists(variousArtists) {
    for (const AudioTrackRef& track : songs) {
        if (track->isPlaceholder() || artist(*track) == fAlbum.artist) continue;
        fAlbumArtist = fAlbum.artist.isNull() ? QString(u""_qs) : fAlbum.artist;
        break;
    }
}

QString TrackTagPlan::artist(const AudioTrack& track) const {
    if (fVariousArtists || track.hasNewArtist()) return track.getNewArtist();
    return fAlbum.artist;
}

TagValues TrackTagPlan::tags(const AudioTrack& track, int row, int count) const {
    TagValues values{.title = track.getNewTitle(),
                     .artist = artist(track),
                     .albumArtist = fAlbumArtist,
                     .album = fAlbum.album,
                     .year = YearText(fAlbum.year),
                     .genre = fAlbum.genre};
    values.setTrack(row + 1, count);
    values.assign(fAlbum, TagValues::kAlbumIds);
    values.assign(track.newTags(), AudioTrack::kHitFields);
    return values;
}

TagFields TrackTagPlan::fields(const AudioTrack& track) const {
    TagFields out = SaveOptions::kWrittenFields;
    if (!fAlbumArtist.isNull()) out |= TagField::AlbumArtist;
    return out | present(fAlbum, TagValues::kAlbumIds) |
           present(track.newTags(), AudioTrack::kHitFields);
}
