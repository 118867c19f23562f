#pragma once

#include "model/NameTemplate.h"
#include "model/NamingOptions.h"
#include "system/Picture.h"
#include "tags/TagValues.h"

#include <QByteArray>
#include <QDataStream>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class AlertHost;
class MusicFile;

// The record of one music file in a document, or a placeholder for a track
// the album should have but the folder lacks (no file name). It keeps the
// tags as read from the file (the "old" values) beside the new ones it
// proposes (a title and an artist), forwards tag writes to its music file, expands the
// naming templates and renames its own file.
//
// A record is a value: copying it copies every field but shares the music
// file, so tags written through any copy reach the same file object.
class AudioTrack {
public:
    // Which naming template getAlbumOrTrackName expands: a kind in the low 16
    // bits, a variant in the top four.
    enum : int {
        kFolderName = NamingOptions::kFolderName,
        kFileName = NamingOptions::kFileName,
        kTitleTag = NamingOptions::kTitleTag,
        kKindMask = NamingOptions::kKindMask,
        kVariousArtists = NamingOptions::kVariousArtists,
        kSingleFile = NamingOptions::kSingleFile,
    };

    static inline const QString kMissingTrackTitle = QStringLiteral("(Missing track)");
    // Stands for an absent folder or file name in the coded form.
    static inline const QString kCodedNil = QStringLiteral("(nil)");

    // Opens the file at the full path and copies its tags; a path of a type
    // the program cannot read gives a record without file (isValid false).
    // `folderWritable`, when given, says whether the file's folder lets files
    // be written and removed: asked once for all of a folder's files.
    static AudioTrack initWithPath(const QString& path,
                                   std::optional<bool> folderWritable = std::nullopt);
    // The same over a file object already open at `path`. A file the
    // program has just written (`justWritten`) is writable without asking.
    static AudioTrack initWithFile(const QString& path, std::shared_ptr<MusicFile> file,
                                   std::optional<bool> folderWritable = std::nullopt,
                                   bool justWritten = false);
    // Whether `folder` lets files be written and removed: what
    // `folderWritable` holds.
    static bool folderWritable(const QString& folder);
    // Takes over what a save read back from the record's file (its file
    // object, location and tags), keeping what only the record holds: the
    // proposed title and artist, the row and the pause.
    void adoptFile(AudioTrack readBack);
    // A placeholder in the folder (which may be null).
    static AudioTrack initPlaceholder(const QString& folder);

    // The coded form (carried on the clipboard): folder, file name, pause
    // seconds. Decoding opens the file again; nullopt for a damaged stream.
    void encode(QDataStream& out) const;
    static std::optional<AudioTrack> decode(QDataStream& in);

    QString description() const;

    // Locations.
    QString getPath() const;
    QString getFolder() const { return fFolder; }
    QString getFileName() const { return fFileName; }
    // The last path component; null when folder or file name is missing.
    QString getDisplayName() const;

    // The tags as read from the file, or as set on the record since. A file
    // without a title reads as its name without extension.
    const TagValues& tags() const { return fTags; }
    // The title as read; a placeholder's stands for the missing track.
    QString getOldTitle() const;
    // The new values: the title falls back to the one the chosen album
    // gives; empty when there is none.
    QString getNewTitle() const;
    bool hasNewTitle() const { return !fNewTags.title.isEmpty(); }
    QString getNewArtist() const;
    bool hasNewArtist() const { return !fNewTags.artist.isEmpty(); }
    // What the chosen album gives the track beyond its title and artist:
    // its disc and its identifiers (kHitFields). A null value is none: the
    // save leaves that field as the file holds it.
    static constexpr TagFields kHitFields =
        TagField::Disc | TagField::DiscCount | TagValues::kTrackIds;
    const TagValues& newTags() const { return fNewTags; }
    // The named hit fields take the values, the other hit fields none.
    void setHitTags(const TagValues& values, TagFields fields);
    // The cover: whether there is one, its stored bytes (asked of the file
    // object, so records never hold a copy) and, for whoever draws it, the
    // picture decoded on each call.
    bool hasImage() const { return fHasImage; }
    QByteArray getImageData() const;
    // Whether the cover is exactly these bytes, as MusicFile::holdsImageData.
    bool holdsImageData(const QByteArray& bytes) const;
    Picture getImage() const;

    int32_t getPauseSecs() const { return fPauseSeconds; }
    int32_t getBitrate() const { return fBitrate; }
    uint32_t getTrackNum() const { return uint32_t(fTags.trackNumber()); }
    uint32_t getRow() const { return fRow; }
    uint32_t getDurationSecs() const;

    bool isValid() const { return fMusicFile != nullptr; }
    bool isPlaceholder() const { return fFileName.isNull(); }
    bool okToTag() const { return fOKToTag; }
    bool needsRefresh() const { return fNeedsRefresh; }
    std::shared_ptr<MusicFile> musicFile() const { return fMusicFile; }

    // Setters: the record only; nothing reaches the file.
    void setFolder(const QString& folder);
    void setFileName(const QString& name) {
        fFileName = name;
        fNameBeforeTemp = QString();
    }
    // The named fields of the record only; nothing reaches the file.
    void setTags(const TagValues& values, TagFields fields) { fTags.assign(values, fields); }
    void setAlbumDetails_Title(const QString& s) { fAlbumDetails_Title = s; }
    // Null or empty clears; never stored empty.
    void setNewTitle(const QString& s);
    void setNewArtist(const QString& s);
    void clearNewTitle() { fNewTags.title = QString(); }
    void clearNewArtist() { fNewTags.artist = QString(); }
    void setBitrate(int32_t kbps) { fBitrate = kbps; }
    void setRow(uint32_t row) { fRow = row; }
    void setPauseSecs(int32_t secs) { fPauseSeconds = secs; }
    // The record's own cover bytes, in place of the file's.
    void setImageData(const QByteArray& bytes);
    // Stored as PNG bytes.
    void setImage(const Picture& image);
    // A look-up's answer for this row: new title and artist, row = track - 1.
    void updateSong(const QString& title, const QString& artist, int track);

    // The named fields of the record, then of the file object's tag in
    // memory (as MusicFile::setTags normalizes them).
    void writeTags(const TagValues& values, TagFields fields);
    void tagImage(const Picture& image);
    void tagImageData(const QByteArray& bytes, const QByteArray& format = QByteArray());

    // Naming templates. `which` is a kind plus variant flags; a null
    // template takes the one `naming` chooses. `unique`, when given,
    // receives 0 (nothing track-specific), 1 (unique if titles differ) or 2
    // (holds the track number). Null without a folder.
    QString getAlbumOrTrackName(const NamingOptions& naming,
                                const std::optional<AlbumNameFacts>& album, int which,
                                const QString& nameTemplate = QString(), int* unique = nullptr,
                                const QString& extension = QString()) const;
    // A template that expands to nothing or dots keeps the current name.
    QString getNewFolderName(const NamingOptions& naming, const AlbumNameFacts& album,
                             int flags) const;
    QString getNewFileName(const NamingOptions& naming, int flags) const;
    QString getTempFileName(const NamingOptions& naming, int flags) const;
    // What the naming templates read of this record.
    NameSubject nameSubject() const;

    // The temporary name a save gives a file between its old and new names:
    // hidden, naming the process, keeping the extension so the file still
    // opens as music under it.
    static QString tempFileName(qint64 pid, int n, const QString& extension);
    static bool isTempFileName(const QString& name);
    // The name rename would give the file, decided before anything moves:
    // the templated name, or when `taken` says it is taken, the first free
    // numbered ".XXX" name (with the "Duplicate Track Name" alert). Null when
    // the template gives no name.
    QString plannedFileName(const NamingOptions& naming, int flags,
                            const std::function<bool(const QString&)>& taken,
                            AlertHost* alerts = nullptr) const;
    // The second half of it, for a name decided earlier: `name` itself
    // unless taken, else the first free `numbered` name (a ".XXX" name from
    // getTempFileName) within `limit` characters.
    static QString freeFileName(const QString& name, const QString& current,
                                const QString& numbered, int limit,
                                const std::function<bool(const QString&)>& taken,
                                AlertHost* alerts = nullptr);

    // Moves the file to a free temporary name in its folder.
    bool renameToTemp(AlertHost* alerts = nullptr);
    // Moves the file to its templated name; a taken name gets the ".XXX"
    // name and a "Duplicate Track Name" alert. A failed move keeps the old
    // name and is reported through the alert host (or the log without one).
    bool rename(const NamingOptions& naming, int flags, AlertHost* alerts = nullptr);
    // Tells the file object its new path after a move.
    void refresh();

    // Sort orders: negative, zero or positive like QString::compare.
    int compareIndex(const AudioTrack& other) const;
    int compareFileName(const AudioTrack& other) const;
    int compareOldFileTitle(const AudioTrack& other) const;

    // Field by field, the file object by identity.
    bool operator==(const AudioTrack& other) const = default;

private:
    AudioTrack() = default;
    // After a successful move.
    bool adoptName(const QString& name);
    // The name the file had before a save moved it to a temporary one.
    QString keptName() const { return fNameBeforeTemp.isNull() ? fFileName : fNameBeforeTemp; }

    std::shared_ptr<MusicFile> fMusicFile;
    QString fFolder;
    QString fFileName;
    QString fNameBeforeTemp; // null unless the file has a temporary name
    TagValues fTags;
    TagValues fNewTags; // the title, artist and hit fields a look-up or the user proposes
    QString fAlbumDetails_Title;
    int32_t fPauseSeconds = 2;
    int32_t fBitrate = 0;
    uint32_t fRow = 0;
    bool fNeedsRefresh = false;
    bool fOKToTag = false;
    bool fHasImage = false;
    // Set only when the record's cover differs from its file's.
    QByteArray fImageData;
};

using AudioTrackRef = std::shared_ptr<AudioTrack>;
