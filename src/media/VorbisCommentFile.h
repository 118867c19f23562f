#pragma once

#include "media/MusicFile.h"
#include "media/SavePlan.h"
#include "media/VorbisComment.h"

#include <sys/stat.h>

#include <mutex>
#include <vector>

// The tags of a file that keeps them in a Vorbis comment (FLAC, Ogg Vorbis,
// Opus, Ogg FLAC): the fields of the tag-operations table, the custom tag
// under TROVIX, and pictures as FLAC picture blocks. Opening reads them
// into memory and closes the file; the subclasses know where they lie in
// the file and how a save writes them back.
class VorbisCommentFile : public MusicFile {
public:
    bool openedState(struct stat* st) const override {
        *st = fOpened;
        return true;
    }
    void takeOpenedState(const struct stat& st) override { fOpened = st; }
    // The field that holds the custom tag's text.
    static inline const QString kCustomTagField = QStringLiteral("TROVIX");

    // The save of the tags changed in memory, decided before anything is
    // written; SaveBatch carries it out.
    SavePlan planSave() override = 0;

protected:
    using MusicFile::MusicFile;

    TagValues readTagValues() override;
    int32_t readBitrate() override { return fAudioBitrate; }
    uint32_t readDuration() override { return fAudioSeconds; }
    QByteArray readImage() const override;
    bool readHasImage() const override;

    void writeTagValues(const TagValues& values, TagFields fields) override;
    void writeImageData(const QByteArray& bytes, const QByteArray& format) override;

    void setField(const QString& name, const QString& value);
    // The picture blocks' bodies as METADATA_BLOCK_PICTURE fields, for the
    // comment of an Ogg stream.
    VorbisComment commentWithPictures() const;
    // The name of the fields an Ogg stream keeps its pictures in.
    static inline const QString kPictureField = QStringLiteral("METADATA_BLOCK_PICTURE");
    // Decodes the fields of fEncodedPictures into fPictures, dropping
    // those that are no picture block. Opening leaves them encoded, as
    // only reading or changing the pictures needs them.
    void decodePictures() const;
    // Stats the file (following a link) for a plan; Nothing when no tag
    // changed, refused when the file cannot be written.
    SavePlan startPlan() const;

    VorbisComment fComment;
    // FLAC picture block bodies, in order, or (Ogg) the base64 fields
    // they are not yet decoded from.
    mutable std::vector<QByteArray> fPictures;
    mutable std::vector<QByteArray> fEncodedPictures;
    // Reading stays safe from several threads although it may decode.
    mutable std::mutex fDecodeLock;
    int32_t fAudioBitrate = 0;
    uint32_t fAudioSeconds = 0;
    QString fNotWritable; // why the file must not be written; null when it may
    // The file as read or last written: a save first checks that nobody
    // else changed it since.
    struct stat fOpened {};
};
