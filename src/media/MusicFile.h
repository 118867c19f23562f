#pragma once

#include "media/SavePlan.h"
#include "model/CustomTag.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// The abstract tagged audio file. Every tag the program cares about is read
// once, at opening, into plain fields; a "tag" operation changes a field and
// the file's tag in memory, and nothing reaches the disk before commitTags.
// A track record owns one and shares it with its copies.
class MusicFile {
public:
    virtual ~MusicFile() = default;
    MusicFile(const MusicFile&) = delete;
    MusicFile& operator=(const MusicFile&) = delete;

    // By extension, case ignored: "mp3" an MP3File, "m4a", "m4p", "m4b" or
    // "mp4" an M4AFile, "flac" a FlacFile, "ogg", "oga" or "opus" an OggFile;
    // anything else, or a file its type cannot open, gives null.
    static std::shared_ptr<MusicFile> newMusicFileWithPath(const QString& path);
    // The name has one of those extensions: a file that then does not open
    // is unreadable, not merely something else.
    static bool isMusicFileName(const QString& path);
    // What opening a file of any other name tells the user.
    static inline const QString kNotMusicFile = QStringLiteral("not a music file Trovix can tag");

    QString path() const { return fPath; }
    QString extension() const;

    void getAllInterestingTags();

    // Getters.
    QString getTitle() const { return fTitle; }
    QString getArtist() const { return fArtist; }
    QString getAlbum() const { return fAlbum; }
    QString getYearStr() const { return fYear; }
    QString getGenre() const { return fGenre; }
    QString getTrackStr() const { return fTrackStr; }
    QString getLongTrackStr() const { return fLongTrackStr; }
    QString getMaxTrackStr() const { return fMaxTrackStr; }
    std::optional<CustomTag> customTag() const { return fCustomTag; }
    // Whether the tag holds a cover; known from opening, without its bytes.
    bool hasImage() const { return fHasImage; }
    // The cover as stored (JPEG, PNG, ...), read from the in-memory tag on
    // request: a folder of records never holds a second copy of each picture.
    QByteArray getImageData() const { return fHasImage ? readImage() : QByteArray(); }
    // The cover decoded, null when absent or undecodable; decodes every call.
    QImage getImage() const;
    uint32_t getTrackNum() const { return fTrackNum; }
    uint32_t getMaxTracks() const { return fMaxTracks; }
    int32_t getBitrate() const { return fBitrate; }
    uint32_t getDurationSecs() const { return fDurationSecs; }

    // Setters: fields only.
    void setTitle(const QString& s) { fTitle = s; }
    void setArtist(const QString& s) { fArtist = s; }
    void setAlbum(const QString& s) { fAlbum = s; }
    void setYearStr(const QString& s) { fYear = s; }
    void setYearNum(int year) { fYear = QString::number(year); }
    void setGenre(const QString& s) { fGenre = s; }
    void setCustomTag(const std::optional<CustomTag>& tag) { fCustomTag = tag; }
    void setTrackNum(int n, int m);
    void setLongTrackStr(const QString& text);

    // Tag operations: the setter, then the matching primitive writer.
    void tagTitle(const QString& s);
    void tagArtist(const QString& s);
    void tagAlbum(const QString& s);
    void tagYearNum(int year);
    void tagYearStr(const QString& s);
    void tagGenre(const QString& s);
    void tagTrackNum(int n, int m);
    void tagTrackStr(const QString& s);
    void tagCustomTag(const std::optional<CustomTag>& tag);
    // Encodes the picture in the format this file type keeps covers in; a
    // null image removes the cover.
    void tagImage(const QImage& image);
    // Stores these encoded bytes as they are; `format` names them ("jpeg",
    // "png"; empty: found from the bytes). Empty bytes remove the cover.
    void tagImageData(const QByteArray& bytes, const QByteArray& format = QByteArray());
    // The format tagImage encodes pictures in.
    virtual QByteArray imageFormat() const { return QByteArrayLiteral("jpeg"); }
    // "jpeg", "png", "gif" or "bmp" by the bytes' signature; empty otherwise.
    static QByteArray imageFormatOf(const QByteArray& bytes);

    // Writes the file, as a batch of one (see SaveBatch). False when the
    // file could not be written: the caller reports it rather than claim
    // success.
    virtual bool commitTags();
    // The save of the tags changed in memory, decided but not yet carried
    // out; SaveBatch carries out the plans of many files together.
    virtual SavePlan planSave();
    // After a move: the new path, before the next commitTags.
    virtual void refreshAfterRename(const QString& newPath) { fPath = newPath; }
    // Why the last commitTags failed, for the user.
    QString lastError() const { return fLastError; }
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

protected:
    friend class SaveBatch;

    explicit MusicFile(const QString& path) : fPath(path) {}

    // Primitive readers; a missing text reads as empty (MP3) or null (M4A).
    virtual QString readTitle() { return {}; }
    virtual QString readArtist() { return {}; }
    virtual QString readAlbum() { return {}; }
    virtual int readYearNum() { return 0; }
    virtual QString readYearStr() { return {}; }
    virtual QString readGenre() { return {}; }
    virtual uint32_t readTrackNum() { return 0; }
    virtual uint32_t readMaxTracks() { return 0; }
    virtual int32_t readBitrate() { return 0; }
    virtual uint32_t readDuration() { return 0; }
    virtual QString readTrackStr() { return {}; }
    virtual QString readLongTrackStr() { return {}; }
    virtual QString readMaxTrackStr() { return {}; }
    virtual std::optional<CustomTag> readCustomTag() { return std::nullopt; }
    // The encoded picture bytes (JPEG, PNG, ...), undecoded.
    virtual QByteArray readImage() const { return {}; }
    // Whether readImage would give bytes, without copying them.
    virtual bool readHasImage() const { return !readImage().isEmpty(); }

    // Primitive writers: change the in-memory tag only.
    virtual void writeTitle(const QString&) {}
    virtual void writeArtist(const QString&) {}
    virtual void writeAlbum(const QString&) {}
    virtual void writeYearNum(int) {}
    virtual void writeYearStr(const QString&) {}
    virtual void writeGenre(const QString&) {}
    virtual void writeTrackNum(int, int) {}
    virtual void writeTrackStr(const QString&) {}
    virtual void writeCustomTag(const std::optional<CustomTag>&) {}
    // Encoded bytes and their format (never empty when the bytes are not).
    virtual void writeImageData(const QByteArray&, const QByteArray&) {}

    bool fNeedsUpdate = false;
    QString fPath;
    QString fTitle;
    QString fArtist;
    QString fAlbum;
    QString fYear;
    QString fGenre;
    QString fTrackStr;
    QString fLongTrackStr;
    QString fMaxTrackStr;
    std::optional<CustomTag> fCustomTag;
    bool fHasImage = false;
    int32_t fBitrate = 0;
    uint32_t fDurationSecs = 0;
    uint32_t fTrackNum = 0;
    uint32_t fMaxTracks = 0;
    QString fLastError;
};
