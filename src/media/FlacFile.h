#pragma once

#include "media/VorbisCommentFile.h"

#include <memory>

class FileStretch;

// A FLAC file: the Vorbis comment block and the picture blocks among its
// metadata blocks. A save writes the metadata in place when it fits the
// space the old blocks and their padding took, else a new file with fresh
// padding; the audio frames are never touched.
class FlacFile : public VorbisCommentFile {
public:
    // Null when the path is not a FLAC stream whose metadata blocks all lie
    // within the file, or TagLib does not take it as valid.
    static std::shared_ptr<FlacFile> newFlacFileWithPath(const QString& path);

    SavePlan planSave() override;
    std::shared_ptr<MusicFile> copyAsOpened() const override;

    // Metadata block types.
    enum BlockType : quint8 {
        kStreamInfo = 0,
        kPadding = 1,
        kSeekTable = 3,
        kComment = 4,
        kPicture = 6
    };

    // Where the metadata blocks and the audio frames lie.
    struct Layout {
        struct Block {
            quint8 type = 0;
            uint64_t at = 0; // of its body, after the 4-byte header
            uint64_t length = 0;
        };
        uint64_t metadataAt = 0; // after "fLaC"
        uint64_t audioAt = 0;
        uint64_t size = 0;
        std::vector<Block> blocks;
    };
    // Null when the layout is sound, else what is wrong.
    static QString readLayout(int fd, Layout* layout);

private:
    explicit FlacFile(const QString& path) : VorbisCommentFile(path) {}
    FlacFile(const FlacFile&) = default;
    // The same, through the file's first bytes, read once.
    static QString readLayout(const FileStretch& file, Layout* layout);
    bool open();
    bool readStoredPictures(std::vector<QByteArray>* bodies, QString* why) const override;
    std::optional<bool> storedImageEquals(const QByteArray& bytes) const override;

    Layout fLayout;
    // The first bytes of each picture block as opened: a block read again
    // must start with them.
    std::vector<QByteArray> fPictureHeads;
};
