#include "docs/StatusDecisions.h"

#include "app/Preferences.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"

namespace {

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Red unless the reference value exists and equals the current one.
StatusColor matches(const QString& reference, const QString& current) {
    return reference.isEmpty() || !same(reference, current) ? Red : Green;
}

StatusColor albumInfo(const StatusValues& ref, const AudioTrack& track) {
    if (ref.album.isEmpty() || ref.year.isEmpty() || ref.genre.isEmpty()) return Red;
    return same(ref.album, track.getAlbum()) && same(ref.year, track.getYearStr()) &&
                   same(ref.genre, track.getGenre())
               ? Green
               : Red;
}

// The file name is compared exactly: a change of case is a rename.
StatusColor fileName(const AudioTrack& file, const QString& newName) {
    if (!Prefs::boolValue(Prefs::kRenameTracks)) return Grey;
    return file.getDisplayName() == newName ? Green : Red;
}

bool untouched(const AudioTrack& track) {
    return track.isPlaceholder() || !track.okToTag();
}

} // namespace

namespace StatusDecisions {

StatusValues albumValues(const AlbumInfo* hit) {
    StatusValues values;
    if (!hit) return values;
    values.artist = hit->artist();
    values.album = hit->album();
    values.year = hit->year();
    values.genre = hit->genre();
    return values;
}

StatusRow folderTrack(const NamingOptions& naming, const AudioTrack& track,
                      const StatusValues& tagHit, bool variousArtists, int alternate,
                      const QString& newTrack) {
    StatusRow row;
    if (untouched(track)) return row;
    if (variousArtists)
        row.A = same(track.getNewArtist(), track.getArtist()) ? Green : Red;
    else
        row.A = matches(tagHit.artist, track.getArtist());
    row.F = fileName(track, track.getNewFileName(naming, alternate));
    row.I = albumInfo(tagHit, track);
    row.T = same(track.getOldTitle(), track.getNewTitle()) ? Green : Red;
    row.Num = same(track.getLongTrackStr(), newTrack) ? Green : Red;
    return row;
}

StatusRow songHit(const NamingOptions& naming, const AudioTrack& file, const StatusValues& hit) {
    StatusRow row;
    if (untouched(file)) return row;
    // The name the file would get with this hit: its title, its position.
    AudioTrack scratch = file;
    scratch.setNewTitle(hit.title);
    bool numbered = false;
    const int track = hit.track.toInt(&numbered);
    scratch.setRow(uint32_t(qMax(1, numbered ? track : 1) - 1));
    row.A = matches(hit.artist, file.getArtist());
    row.F = fileName(file, scratch.getNewFileName(naming, AudioTrack::kSingleFile));
    row.I = albumInfo(hit, file);
    row.T = matches(hit.title, file.getOldTitle());
    row.Num = matches(hit.longTrack, file.getLongTrackStr());
    return row;
}

StatusRow singleFile(const NamingOptions& naming, const AudioTrack& file,
                     const StatusValues& typed) {
    StatusRow row;
    if (untouched(file)) return row;
    row.A = matches(typed.artist, file.getArtist());
    row.F = fileName(file, file.getNewFileName(naming, AudioTrack::kSingleFile));
    row.I = albumInfo(typed, file);
    row.T = matches(typed.title, file.getOldTitle());
    row.Num = matches(typed.longTrack, file.getLongTrackStr());
    return row;
}

QString colorName(StatusColor color) {
    switch (color) {
    case Red:
        return QStringLiteral("red");
    case Green:
        return QStringLiteral("green");
    case Grey:
        break;
    }
    return QStringLiteral("grey");
}

} // namespace StatusDecisions
