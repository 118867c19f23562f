#pragma once

#include "tags/CustomTag.h"

#include <QFlags>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// One field of a track's tags; a set of them says which fields an operation
// reads or writes.
enum class TagField : quint32 {
    Title = 1u << 0,
    Artist = 1u << 1,
    AlbumArtist = 1u << 2,
    Album = 1u << 3,
    Year = 1u << 4,
    Genre = 1u << 5,
    Track = 1u << 6,
    TrackCount = 1u << 7,
    Disc = 1u << 8,
    DiscCount = 1u << 9,
    Custom = 1u << 10,
    // MusicBrainz identifiers: of the release, its release group, the track
    // on the release, the recording, the track's artists and the release's.
    MBReleaseId = 1u << 11,
    MBReleaseGroupId = 1u << 12,
    MBReleaseTrackId = 1u << 13,
    MBRecordingId = 1u << 14,
    MBArtistId = 1u << 15,
    MBAlbumArtistId = 1u << 16, // stays the last: kAll is every bit up to it
};
Q_DECLARE_FLAGS(TagFields, TagField)
Q_DECLARE_OPERATORS_FOR_FLAGS(TagFields)

// The tags of one track as one value: what a file holds, what a record
// shows, what a save writes. A null text is an absent value, an empty one a
// present but empty one. Numbers stay the text the tag holds ("03"); an
// absent count is empty.
//
// A new field is a member, its TagField and one line in the table of
// TagValues.cpp; each file format maps it in one place of its own. Every
// member has an initializer, so a value may name only the fields it sets
// ({.title = ...}).
struct TagValues {
    QString title{};
    QString artist{};
    QString albumArtist{};
    QString album{};
    QString year{};
    QString genre{};
    QString track{};
    QString trackCount{};
    QString disc{};
    QString discCount{};
    std::optional<CustomTag> custom{};
    // MusicBrainz identifiers; an artist field lists several artists' ids
    // apart (see kValueSeparator).
    QString mbReleaseId{};
    QString mbReleaseGroupId{};
    QString mbReleaseTrackId{};
    QString mbRecordingId{};
    QString mbArtistId{};
    QString mbAlbumArtistId{};

    static constexpr TagFields kAll =
        TagFields::fromInt((quint32(TagField::MBAlbumArtistId) << 1) - 1);
    // The text fields, every field but the custom tag.
    static constexpr TagFields kTexts =
        TagFields::fromInt(kAll.toInt() & ~quint32(TagField::Custom));
    // The identifiers of the album and of each track.
    static constexpr TagFields kAlbumIds =
        TagField::MBReleaseId | TagField::MBReleaseGroupId | TagField::MBAlbumArtistId;
    static constexpr TagFields kTrackIds =
        TagField::MBReleaseTrackId | TagField::MBRecordingId | TagField::MBArtistId;
    static constexpr TagFields kMusicBrainzIds = kAlbumIds | kTrackIds;

    // Several values of one field (a credit's artist ids) are kept in one
    // text apart by "/", as ID3v2.3 keeps them; formats that hold a list
    // store each value on its own.
    static constexpr char16_t kValueSeparator = u'/';
    static QStringList valuesOf(const QString& text);
    static QString joinedValues(const QStringList& values);

    // A text field's value; null for the custom tag.
    QString text(TagField field) const;
    void setText(TagField field, const QString& value);
    // Takes the named fields from `from`, leaving the others.
    void assign(const TagValues& from, TagFields fields);
    // The fields whose values differ from `other`'s; an absent text differs
    // from an empty one.
    TagFields differing(const TagValues& other) const;

    // The numbers as a C scan reads them from the texts, 0 for none.
    int trackNumber() const;
    int trackCountNumber() const;
    int discNumber() const;
    int discCountNumber() const;
    // "n/m", or "n" without a count.
    QString longTrack() const;
    // Numbers as a save writes them: a count below 1 is none.
    void setTrack(int number, int count);
    void setDisc(int number, int count);
    static TagValues withTrack(int number, int count);
    // "3/12" as ("3", "12"), "3" as ("3", ""); null stays null.
    static std::pair<QString, QString> splitPair(const QString& text);

    bool operator==(const TagValues& other) const { return !differing(other); }
};
