#pragma once

#include "media/SavePlan.h"
#include "system/Picture.h"
#include "tags/TagValues.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// The abstract tagged audio file. Every tag the program cares about is read
// once, at opening, into plain fields; a "tag" operation changes a field and
// the file's tag in memory, and nothing reaches the disk before a save
// (save/SaveBatch) carries out the file's plan.
// A track record owns one and shares it with its copies.
class MusicFile {
public:
    virtual ~MusicFile() = default;
    MusicFile& operator=(const MusicFile&) = delete;

    // The name has one of the music kinds' extensions (MusicExtensions.h):
    // a file that then does not open (MusicFileFactory) is unreadable, not
    // merely something else.
    static bool isMusicFileName(const QString& path);
    // What opening a file of any other name tells the user.
    static inline const QString kNotMusicFile = QStringLiteral("not a music file Trovix can tag");

    QString path() const { return fPath; }
    QString extension() const;

    void getAllInterestingTags();

    // The tags as read at opening, with those set since.
    const TagValues& readTags() const { return fTags; }
    // Sets the named fields here and in the file's tag in memory; nothing
    // reaches the disk before a save. A year that is no year (a lone
    // byte-order mark, say) writes none; track and disc numbers are written
    // as numbers, a count below 1 as none.
    void setTags(const TagValues& values, TagFields fields);

    // Whether the tag holds a cover; known from opening, without its bytes.
    bool hasImage() const { return fHasImage; }
    // The cover as stored (JPEG, PNG, ...), read on request from the tag in
    // memory or from the file: a folder of records never holds a second
    // copy of each picture. Empty when it cannot be read (the file changed).
    QByteArray getImageData() const { return fHasImage ? readImage() : QByteArray(); }
    // Whether the cover is exactly these bytes (empty: there is none). The
    // cover is read only when its length, where opening knew it, agrees.
    bool holdsImageData(const QByteArray& bytes) const;
    // The cover decoded, null when absent or undecodable; decodes every call.
    Picture getImage() const;
    int32_t getBitrate() const { return fBitrate; }
    uint32_t getDurationSecs() const { return fDurationSecs; }

    // Encodes the picture in the format this file type keeps covers in; a
    // null image removes the cover.
    void tagImage(const Picture& image);
    // Stores these encoded bytes as they are; `format` names them ("jpeg",
    // "png"; empty: found from the bytes). Empty bytes remove the cover.
    void tagImageData(const QByteArray& bytes, const QByteArray& format = QByteArray());
    // The format tagImage encodes pictures in.
    virtual QByteArray imageFormat() const { return QByteArrayLiteral("jpeg"); }
    // "jpeg", "png", "gif" or "bmp" by the bytes' signature; empty otherwise.
    static QByteArray imageFormatOf(const QByteArray& bytes);

    // The save of the tags changed in memory, decided but not yet carried
    // out; a SaveBatch carries out the plans of its files together.
    virtual SavePlan planSave();
    // After a move: the new path, before the next save.
    virtual void refreshAfterRename(const QString& newPath) { fPath = newPath; }
    // Null when the file may be written; else why it never is.
    virtual QString whyNotWritable() const { return QString(); }
    // The file as it was read (device, inode, size, time): a save refuses a
    // file changed since. A second object opened later for the same file
    // takes over the first one's, so it refuses the same changes.
    virtual bool openedState(struct stat* st) const {
        (void)st;
        return false;
    }
    virtual void takeOpenedState(const struct stat& st) { (void)st; }
    // A second object for the file as this one holds it, made without
    // reading the file again: a save sets its tags on the copy, and this
    // one stays as the record shows it. Null when this kind, or this
    // object's state, needs the file read anew.
    virtual std::shared_ptr<MusicFile> copyAsOpened() const { return nullptr; }

protected:
    explicit MusicFile(const QString& path) : fPath(path) {}
    // For copyAsOpened only.
    MusicFile(const MusicFile&) = default;

    // The format's own reading and writing of the tags, each field mapped in
    // one place per format. Reading: a missing text reads as empty (MP3) or
    // null (M4A). Writing changes the in-memory tag only, and only the named
    // fields, which `values` holds as setTags normalized them.
    virtual TagValues readTagValues() { return {}; }
    virtual void writeTagValues(const TagValues& values, TagFields fields) {
        (void)values;
        (void)fields;
    }
    virtual int32_t readBitrate() { return 0; }
    virtual uint32_t readDuration() { return 0; }
    // The encoded picture bytes (JPEG, PNG, ...), undecoded.
    virtual QByteArray readImage() const { return {}; }
    // Whether readImage would give bytes, without copying them.
    virtual bool readHasImage() const { return !readImage().isEmpty(); }
    // How many bytes readImage would give, when that is known without
    // reading the picture; -1 when only reading it tells.
    virtual qint64 storedImageSize() const { return -1; }
    // Whether the image stored in the file is `bytes`, compared where it
    // lies without reading it whole; nullopt when it is not read that way.
    virtual std::optional<bool> storedImageEquals(const QByteArray&) const { return std::nullopt; }

    // Encoded bytes and their format (never empty when the bytes are not).
    virtual void writeImageData(const QByteArray&, const QByteArray&) {}

    bool fNeedsUpdate = false;
    QString fPath;
    TagValues fTags;
    bool fHasImage = false;
    int32_t fBitrate = 0;
    uint32_t fDurationSecs = 0;
};
