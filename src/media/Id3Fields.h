#pragma once

#include "tags/TagValues.h"

#include <algorithm>

// Where an ID3v2 tag keeps each field of TagValues: the one map MP3File
// reads and writes by, and the frame reader keeps frames by.
namespace Id3Fields {

// A field held as the text of one frame.
struct Text {
    TagField field;
    const char* frame;
};
inline constexpr Text kTexts[] = {
    {TagField::Title, "TIT2"}, {TagField::Artist, "TPE1"}, {TagField::AlbumArtist, "TPE2"},
    {TagField::Album, "TALB"}, {TagField::Genre, "TCON"},
};

// A number and its count held as "n/m" in one frame.
struct Pair {
    TagField number;
    TagField count;
    const char* frame;
};
inline constexpr Pair kPairs[] = {
    {TagField::Track, TagField::TrackCount, "TRCK"},
    {TagField::Disc, TagField::DiscCount, "TPOS"},
};

// A field held in a user text frame (TXXX) of that description. The
// MusicBrainz identifiers go where the common taggers and media servers look
// for them: TXXX "MusicBrainz Album Id" (release), "MusicBrainz Release Group
// Id", "MusicBrainz Release Track Id", "MusicBrainz Artist Id", "MusicBrainz
// Album Artist Id", and the recording as the identifier of a UFID frame owned
// by "http://musicbrainz.org".
struct UserText {
    TagField field;
    const char* description;
};
inline constexpr UserText kUserTexts[] = {
    {TagField::MBReleaseId, "MusicBrainz Album Id"},
    {TagField::MBReleaseGroupId, "MusicBrainz Release Group Id"},
    {TagField::MBReleaseTrackId, "MusicBrainz Release Track Id"},
    {TagField::MBArtistId, "MusicBrainz Artist Id"},
    {TagField::MBAlbumArtistId, "MusicBrainz Album Artist Id"},
};
inline constexpr const char* kUserText = "TXXX";

// A field held as the identifier of a unique file identifier frame (UFID)
// of that owner.
struct FileId {
    TagField field;
    const char* owner;
};
inline constexpr FileId kFileIds[] = {
    {TagField::MBRecordingId, "http://musicbrainz.org"},
};
inline constexpr const char* kFileId = "UFID";

// The year: TYER in ID3v2.3, TDRC (a recording time) in ID3v2.4.
inline constexpr const char* kYear = "TYER";
inline constexpr const char* kRecorded = "TDRC";
// The custom tag's own frame (CustomTagFrame).
inline constexpr const char* kCustom = "TTRX";

// Whether a record reads the frame.
inline bool isRead(const char* id) {
    auto same = [id](const char* frame) { return std::equal(frame, frame + 4, id); };
    for (const Text& t : kTexts)
        if (same(t.frame)) return true;
    for (const Pair& p : kPairs)
        if (same(p.frame)) return true;
    return same(kYear) || same(kRecorded) || same(kCustom) || same(kUserText) || same(kFileId);
}

} // namespace Id3Fields
