#include "docs/StatusDecisions.h"

#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"
#include "model/NamingOptions.h"

namespace {

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Red unless the reference value exists and equals the current one.
StatusColor matches(const QString& reference, const QString& current) {
    return reference.isEmpty() || !same(reference, current) ? Red : Green;
}

StatusColor albumInfo(const TagValues& ref, const AudioTrack& track) {
    if (ref.album.isEmpty() || ref.year.isEmpty() || ref.genre.isEmpty()) return Red;
    const TagValues& read = track.tags();
    return same(ref.album, read.album) && same(ref.year, read.year) && same(ref.genre, read.genre)
               ? Green
               : Red;
}

// The file name is compared exactly: a change of case is a rename. The new
// name is made only when files are renamed at all.
template <typename NewName>
StatusColor fileName(const NamingOptions& naming, const AudioTrack& file, NewName newName) {
    if (!naming.files) return Grey;
    return file.getDisplayName() == newName() ? Green : Red;
}

bool untouched(const AudioTrack& track) {
    return track.isPlaceholder() || !track.okToTag();
}

} // namespace

namespace StatusDecisions {

TagValues albumValues(const AlbumInfo* hit) {
    TagValues values;
    if (!hit) return values;
    values.artist = hit->artist();
    values.album = hit->album();
    values.year = hit->year();
    values.genre = hit->genre();
    return values;
}

StatusRow folderTrack(const NamingOptions& naming, const AudioTrack& track, const TagValues& tagHit,
                      const TagValues& written, bool variousArtists, int alternate,
                      const QString& newTrack) {
    StatusRow row;
    if (untouched(track)) return row;
    // A track credited on its own gets that credit, like any in
    // various-artists mode.
    if (variousArtists || track.hasNewArtist())
        row.A = same(written.artist, track.tags().artist) ? Green : Red;
    else
        row.A = matches(tagHit.artist, track.tags().artist);
    if (!written.albumArtist.isNull() && !same(written.albumArtist, track.tags().albumArtist))
        row.A = Red;
    row.F = fileName(naming, track, [&] { return track.getNewFileName(naming, alternate); });
    row.I = albumInfo(tagHit, track);
    row.T = same(track.getOldTitle(), track.getNewTitle()) ? Green : Red;
    row.Num = same(track.tags().longTrack(), newTrack) ? Green : Red;
    return row;
}

StatusRow songHit(const NamingOptions& naming, const AudioTrack& file, const TagValues& hit,
                  int position) {
    StatusRow row;
    if (untouched(file)) return row;
    // The name the file would get with this hit: its title, its position.
    AudioTrack scratch = file;
    scratch.setNewTitle(hit.title);
    scratch.setRow(uint32_t(qMax(1, position) - 1));
    row.A = matches(hit.artist, file.tags().artist);
    row.F = fileName(naming, file,
                     [&] { return scratch.getNewFileName(naming, AudioTrack::kSingleFile); });
    row.I = albumInfo(hit, file);
    row.T = matches(hit.title, file.getOldTitle());
    row.Num = matches(hit.longTrack(), file.tags().longTrack());
    return row;
}

StatusRow singleFile(const NamingOptions& naming, const AudioTrack& file, const TagValues& typed) {
    StatusRow row;
    if (untouched(file)) return row;
    row.A = matches(typed.artist, file.tags().artist);
    row.F = fileName(naming, file,
                     [&] { return file.getNewFileName(naming, AudioTrack::kSingleFile); });
    row.I = albumInfo(typed, file);
    row.T = matches(typed.title, file.getOldTitle());
    row.Num = matches(typed.longTrack(), file.tags().longTrack());
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
