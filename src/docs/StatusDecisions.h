#pragma once

#include "tags/TagValues.h"

#include <QString>

class AudioTrack;
struct NamingOptions;

// What saving will do to each part of a track, as the five status letters
// show it: red, it will change; green, it is already right; grey, it will
// not be touched (a placeholder, a read-only file, renaming off). No drawing
// here: the command line prints these, the table cells paint them.
enum StatusColor { Grey, Red, Green };

struct StatusRow {
    StatusColor A = Grey;   // artist and album artist
    StatusColor F = Grey;   // file name
    StatusColor I = Grey;   // album information: album, year, genre
    StatusColor T = Grey;   // title
    StatusColor Num = Grey; // track number

    bool operator==(const StatusRow&) const = default;
};

class AlbumInfo;

namespace StatusDecisions {

// The values of a hit the decisions compare with (a null text is a missing
// value): the artist, album, year and genre of an album hit, all null for
// none.
TagValues albumValues(const AlbumInfo* hit);

// A row of the folder document's track table. `naming` makes the new file
// names; `tagHit` is the album as the files' tags give it; `written` what
// the save writes (TrackTagPlan::tags: the artist, and the album artist,
// null when untouched); `alternate` the document's naming flag; `newTrack`
// the "%d/%d" of the row. A counts the album artist with the artist.
StatusRow folderTrack(const NamingOptions& naming, const AudioTrack& track, const TagValues& tagHit,
                      const TagValues& written, bool variousArtists, int alternate,
                      const QString& newTrack);

// A song hit of the single-file document against the file's record;
// `position` is the hit's track, which names the file.
StatusRow songHit(const NamingOptions& naming, const AudioTrack& file, const TagValues& hit,
                  int position);

// The single-file document's own row: the file against the values typed
// into its fields.
StatusRow singleFile(const NamingOptions& naming, const AudioTrack& file, const TagValues& typed);

// "red", "green" or "grey".
QString colorName(StatusColor color);

} // namespace StatusDecisions
