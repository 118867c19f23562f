#pragma once

#include "media/AtomParser.h"
#include "media/MusicFile.h"

#include <memory>

// MPEG-4 audio (".m4a", ".m4p", ".m4b", ".mp4"): the tags are iTunes-style items in
// moov/udta/meta/ilst of the atom tree. Items the file lacks are made when
// a value is written, together with the containers they need.
class M4AFile : public MusicFile {
public:
    // Null when the file cannot be parsed as MPEG-4; the tags are read.
    static std::shared_ptr<M4AFile> newM4AFileWithPath(const QString& path);

    SavePlan planSave() override;
    std::shared_ptr<MusicFile> copyAsOpened() const override;
    QByteArray imageFormat() const override { return QByteArrayLiteral("png"); }
    void refreshAfterRename(const QString& newPath) override;
    // A movie is listed with its tags but never written: audio only.
    QString whyNotWritable() const override;

    // The parsed file, for inspection.
    AtomParser* atomParser() const { return fAtomParser.get(); }
    bool openedState(struct stat* st) const override {
        if (!fAtomParser) return false;
        *st = fAtomParser->openedState();
        return true;
    }
    void takeOpenedState(const struct stat& st) override {
        if (fAtomParser) fAtomParser->takeOpenedState(st);
    }

protected:
    TagValues readTagValues() override;
    int32_t readBitrate() override;
    uint32_t readDuration() override;
    QByteArray readImage() const override;
    bool readHasImage() const override;
    qint64 storedImageSize() const override;
    std::optional<bool> storedImageEquals(const QByteArray& bytes) const override;

    void writeTagValues(const TagValues& values, TagFields fields) override;
    void writeImageData(const QByteArray& bytes, const QByteArray& format) override;

private:
    explicit M4AFile(const QString& path) : MusicFile(path) {}
    // With a tree of its own.
    M4AFile(const M4AFile& opened)
        : MusicFile(opened), fAtomParser(opened.fAtomParser->copyAsOpened()),
          fHasVideo(opened.fHasVideo) {}

    Atom* item(uint32_t type) const;
    Atom* ilst(bool create);
    void addItem(Atom::Ptr item);
    void setText(uint32_t type, const QString& text);
    // The freeform item of that name (case ignored) owned by
    // "com.apple.iTunes"; null when there is none.
    Atom* freeform(const char* name) const;
    // One "data" atom per value; no value removes the item.
    void setFreeform(const char* name, const QString& text);
    QString readGenre();
    void writeGenre(const QString& name);
    void writeYear(const QString& year);
    // A number and its count; both empty remove the item.
    void writePair(uint32_t type, const QString& number, const QString& count);
    // Time scale and duration from "mvhd"; false when missing.
    bool movieTimes(double& timeScale, double& duration) const;
    // Payload size of the first "mdat"; false when there is none.
    bool mediaDataSize(uint64_t& size) const;

    std::unique_ptr<AtomParser> fAtomParser;
    bool fHasVideo = false;
};
