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

    // By extension, case ignored: "mp3" an MP3File, "m4a" or "m4p" an
    // M4AFile; anything else, or a file its type cannot open, gives null.
    static std::shared_ptr<MusicFile> newMusicFileWithPath(const QString& path);

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
    // The cover; its bytes are decoded on the first request, so reading a
    // folder never pays for pictures nobody looks at.
    QImage getImage() const;
    bool hasImage() const { return !fImage.isNull() || !fImageData.isEmpty(); }
    QByteArray getImageData() const { return fImageData; }
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
    void setImage(const QImage& image);
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
    void tagImage(const QImage& image);

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
    virtual QByteArray readImage() { return {}; }

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
    virtual void writeImage(const QImage&) {}

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
    mutable QImage fImage;
    QByteArray fImageData;
    int32_t fBitrate = 0;
    uint32_t fDurationSecs = 0;
    uint32_t fTrackNum = 0;
    uint32_t fMaxTracks = 0;
    QString fLastError;
};
