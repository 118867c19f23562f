#pragma once

#include "media/MusicFile.h"
#include "media/SavePlan.h"
#include "media/VorbisComment.h"

#include <sys/stat.h>

#include <vector>

// The tags of a file that keeps them in a Vorbis comment (FLAC, Ogg Vorbis,
// Opus, Ogg FLAC): the fields of the tag-operations table, the custom tag
// under TROVIX, and pictures as FLAC picture blocks. Opening reads the
// comment into memory and closes the file; a picture's bytes stay in the
// file (a folder of covers would otherwise be held twice over) and are read
// again when asked for, once the file is proved to be the one opened. The
// subclasses know where they lie in the file and how a save writes them back.
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
    qint64 storedImageSize() const override;

    void writeTagValues(const TagValues& values, TagFields fields) override;
    void writeImageData(const QByteArray& bytes, const QByteArray& format) override;

    void setField(const QString& name, const QString& value);
    // The name of the fields an Ogg stream keeps its pictures in.
    static inline const QString kPictureField = QStringLiteral("METADATA_BLOCK_PICTURE");
    // Stats the file (following a link) for a plan; Nothing when no tag
    // changed, refused when the file cannot be written.
    SavePlan startPlan() const;

    // A picture block: where the file keeps it, or its body once a cover
    // change made it.
    struct Picture {
        int stored = -1; // among the file's pictures; -1: `body` holds it
        quint32 type = 0;
        bool hasImage = false;   // a non-empty image within the block's bounds
        qint64 imageLength = -1; // -1: the block's lengths do not add up
        qint64 imageAt = -1;     // where in the block the image starts, when known
        QByteArray body;
    };
    // The picture whose image readImage gives, by the lengths opening read;
    // null for none.
    const Picture* imagePicture() const;
    // A picture made from this body, held in memory.
    static Picture heldPicture(const QByteArray& body);
    // The picture kept as the file's picture `index`, from the first bytes
    // of its block and the block's length; false when they do not tell
    // (a long description), and the whole block must be looked at.
    static bool storedPicture(int index, QByteArrayView head, qint64 length, Picture* picture);
    // The picture kept as the base64 field `index` of an Ogg comment,
    // decoding no more of it than tells; false when the field is no
    // picture block, which a save drops rather than keep half-understood.
    static bool storedField(int index, const QByteArray& field, Picture* picture);
    // The body a base64 picture field decodes to; null when it is no
    // picture block.
    static QByteArray fieldBody(const QByteArray& field);
    // The bodies of every stored picture in the file's order, read from
    // the file; false, with why (for the user), when it is no longer the
    // file opened or a picture no longer reads as it did.
    virtual bool readStoredPictures(std::vector<QByteArray>* bodies, QString* why) const = 0;
    // A descriptor of the file for reading its pictures again, when it is
    // still the one opened (device, inode, size and time); else -1, with
    // why. The caller closes it.
    int openAsOpened(QString* why) const;
    // Why a save or a read stopped short of pictures it could not read again.
    QString picturesUnreadable() const;
    // The bodies of fPictures in order, reading the file only when it keeps
    // any of them; false, with why, when they cannot be read.
    bool pictureBodies(std::vector<QByteArray>* bodies, QString* why) const;
    // After a save wrote fPictures in order: the file keeps them all now,
    // and their bodies are freed.
    void picturesSaved();
    // The comment with these METADATA_BLOCK_PICTURE values (base64 text)
    // after its fields, as an Ogg stream holds its pictures.
    QByteArray renderWithPictureFields(const std::vector<QByteArray>& fields) const;

    VorbisComment fComment;
    // In the order a save writes them. Only a cover change alters them
    // (on the thread that owns the file), so reading is safe from several
    // threads: nothing a reader touches is changed by reading.
    std::vector<Picture> fPictures;
    int32_t fAudioBitrate = 0;
    uint32_t fAudioSeconds = 0;
    QString fNotWritable; // why the file must not be written; null when it may
    // The file as read or last written: a save first checks that nobody
    // else changed it since.
    struct stat fOpened {};
};
