#pragma once

#include "tags/TagValues.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

class AudioTrack;
class AudioTrackArray;
class CustomTag;

// The full record of one album: artist, album, year, genre and its titles in
// album order, each title with its own artist for compilations. Properties
// live in `fDict` under fixed keys; setters ignore a null value.
class AlbumDetails : public std::enable_shared_from_this<AlbumDetails> {
public:
    static inline const QString kArtistKey = QStringLiteral("artist");
    static inline const QString kAlbumKey = QStringLiteral("album");
    static inline const QString kYearKey = QStringLiteral("year");
    static inline const QString kGenreKey = QStringLiteral("genre");
    static inline const QString kIADBKeyKey = QStringLiteral("resultKey");
    static inline const QString kAlbumCoverURLKey = QStringLiteral("albumCoverURL");
    static inline const QString kTitlesKey = QStringLiteral("titles");
    static inline const QString kAlbumDetailsKey = QStringLiteral("albumDetails");
    // Keys of one title entry.
    static inline const QString kEntryTitleKey = QStringLiteral("title");
    static inline const QString kEntryArtistKey = QStringLiteral("artist");
    // The track's length in milliseconds, when the source tells it.
    static inline const QString kEntryLengthKey = QStringLiteral("length");
    // Tag values a source gives beyond the album's fields and titles (of the
    // album and of one entry), and whether it credits the album to its own
    // "various artists".
    static inline const QString kTagsKey = QStringLiteral("tags");
    static inline const QString kCompilationKey = QStringLiteral("compilation");
    // How many discs the release has, when the source tells it.
    static inline const QString kDiscCountKey = QStringLiteral("discCount");

    static inline const QString kTagKey = QStringLiteral("#TAG:");
    static inline const QString kFilesKey = QStringLiteral("#FILES:");
    // The title of a track number that no file name carries.
    static inline const QString kMissingTrack = QStringLiteral("(Missing track)");

    AlbumDetails() = default;
    virtual ~AlbumDetails() = default;
    AlbumDetails(const AlbumDetails& other)
        : std::enable_shared_from_this<AlbumDetails>(), fDict(other.fDict) {}
    AlbumDetails& operator=(const AlbumDetails& other) {
        fDict = other.fDict;
        return *this;
    }

    // A new record of the same class sharing the same values (the title list
    // is copied on write, so changing one record's titles leaves the other's).
    virtual std::shared_ptr<AlbumDetails> copy() const;

    QString artist() const { return stringFor(kArtistKey); }
    QString album() const { return stringFor(kAlbumKey); }
    QString year() const { return stringFor(kYearKey); }
    QString genre() const { return stringFor(kGenreKey); }
    QString resultKey() const { return stringFor(kIADBKeyKey); }
    QString albumCoverURL() const { return stringFor(kAlbumCoverURLKey); }
    QVariantList titleArray() const { return fDict.value(kTitlesKey).toList(); }
    // 0 when unknown.
    int discCount() const { return fDict.value(kDiscCountKey).toInt(); }
    void setDiscCount(int count) { fDict.insert(kDiscCountKey, count); }
    std::shared_ptr<AlbumDetails> albumDetails() const;

    void setArtist(const QString& v) { setString(kArtistKey, v); }
    void setAlbum(const QString& v) { setString(kAlbumKey, v); }
    void setYear(const QString& v) { setString(kYearKey, v); }
    void setGenre(const QString& v) { setString(kGenreKey, v); }
    void setResultKey(const QString& v) { setString(kIADBKeyKey, v); }
    void setAlbumCoverURL(const QString& v) { setString(kAlbumCoverURLKey, v); }
    void setTitles(const QVariantList& titles) { fDict.insert(kTitlesKey, titles); }
    void setAlbumDetails(const std::shared_ptr<AlbumDetails>& details);

    const QVariantMap& dict() const { return fDict; }
    QVariantMap& dict() { return fDict; }

    int numTracks() const { return int(titleArray().size()); }
    // Empty when there is no such entry or it has no title.
    QString titleAtIndex(qsizetype index) const;
    // Null when there is no such entry or it has no artist of its own.
    QString artistAtIndex(qsizetype index) const;
    // A null artist leaves the entry without one.
    void addTitle(const QString& title, const QString& artist);
    void addTitle(const QString& title, const QString& artist, int lengthMs);
    // Milliseconds; none when the entry has no length.
    std::optional<int> lengthAtIndex(qsizetype index) const;
    void appendTitlesFrom(const AlbumDetails& other);

    // What the source tells beyond the album's fields and titles: of the
    // album, its identifiers; of an entry, its disc and identifiers. Only
    // the named text fields are kept, and read back with `present` naming
    // them.
    void setAlbumTags(const TagValues& values, TagFields fields);
    TagValues albumTags(TagFields* present = nullptr) const;
    // The last entry's, so a parser sets them as it adds the title.
    void setLastTags(const TagValues& values, TagFields fields);
    TagValues tagsAtIndex(qsizetype index, TagFields* present = nullptr) const;
    // Gives every entry without a disc of its own the disc `disc` of
    // `count`: one album of a box set from a source that numbers no discs.
    void setDiscWhereUnset(int disc, int count);
    bool isCompilation() const { return fDict.value(kCompilationKey).toBool(); }
    void setCompilation(bool on) { fDict.insert(kCompilationKey, on); }

    // The most frequent value (case-insensitively) of a track getter; among
    // equally frequent values the one first seen latest wins.
    static QString guessWithSel(const AudioTrackArray& tracks, TagField field);
    static QString majorityVote(const QStringList& values);

    // The entry whose title is most like the given one; 0 when none is alike.
    int indexOfClosestTitle(const QString& title) const;

    // The album as the tags of the tracks tell it ("#TAG:"); `smartCap`
    // capitalizes artist, album and genre.
    static std::shared_ptr<AlbumDetails>
    AlbumDetailsFromTags(const AudioTrackArray& tracks, const CustomTag* customTag, bool smartCap);
    // The album as the file and folder names tell it ("#FILES:").
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromFiles(const AudioTrackArray& tracks);
    // The same from display names in list order and the folder of the first.
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromNames(const QStringList& displayNames,
                                                               const QString& firstFolder);

    // Sets the year, and a missing artist and album, from the names of the
    // track's folder and its parent.
    void setArtistAlbumFromFolders(const AudioTrack& track);
    void setArtistAlbumFromFolderPath(const QString& folder);

    QString description() const;
    virtual const char* className() const { return "AlbumDetails"; }
    // `dict` with the details it holds as references, for a dump.
    static QVariantMap withDetailsAsRefs(const QVariantMap& dict);

    // This record as a shared pointer; a copy when it is not shared yet.
    std::shared_ptr<AlbumDetails> sharedSelf() const;

protected:
    QString stringFor(const QString& key) const;
    void setString(const QString& key, const QString& value);
    QVariantMap fDict;
};

using AlbumDetailsPtr = std::shared_ptr<AlbumDetails>;
