#pragma once

#include "media/VorbisCommentFile.h"

#include <memory>

// An Ogg Vorbis, Opus or Ogg FLAC stream (by its first packet, whatever the
// extension says): the Vorbis comment in its second header packet, with
// the pictures as METADATA_BLOCK_PICTURE fields. A save always writes a new
// file: the header packets are laid out on new pages, and the audio pages
// follow unchanged but for their sequence numbers and checksums.
class OggFile : public VorbisCommentFile {
public:
    // Null when the header pages are damaged, the stream is of none of the
    // three kinds, or TagLib does not take it as valid.
    static std::shared_ptr<OggFile> newOggFileWithPath(const QString& path);

    SavePlan planSave() override;
    std::shared_ptr<MusicFile> copyAsOpened() const override;

    enum class Codec { Vorbis, Opus, Flac };

    // The header packets of the stream in the file, and where its audio
    // pages begin. Null when they are sound, else what is wrong.
    struct Headers {
        Codec codec = Codec::Vorbis;
        quint32 serial = 0;
        std::vector<QByteArray> packets;
        uint64_t pages = 0;   // pages the header packets take
        uint64_t audioAt = 0; // the first page after them
        uint64_t size = 0;
        QString notWritable; // why the layout is not one a save can keep
        // For reading as TagLib does: the page each packet ends on, and the
        // first page that ends the stream or holds no lacing value (none
        // when it equals `pages`).
        std::vector<uint64_t> endPages;
        uint64_t oddPage = ~uint64_t(0);
        int64_t firstGranule = 0;
        // The header pages' checksums: headers read again with the same
        // ones hold the same packets.
        std::vector<quint32> checksums;
    };
    static QString readHeaders(int fd, Headers* headers);
    // The comment inside the comment packet, its METADATA_BLOCK_PICTURE
    // fields set aside into *pictures if given; false when it is damaged.
    static bool commentOf(const Headers& headers, VorbisComment* comment,
                          std::vector<QByteArray>* pictures = nullptr);

private:
    explicit OggFile(const QString& path) : VorbisCommentFile(path) {}
    OggFile(const OggFile&) = default;
    bool open();
    // Frees the comment packet once it is read.
    static void dropCommentPacket(Headers& headers);
    bool readStoredPictures(std::vector<QByteArray>* bodies, QString* why) const override;
    // The picture fields' values (base64 text) as the file holds them,
    // once its header pages are known to be those opened.
    bool readStoredPictureFields(std::vector<QByteArray>* fields, QString* why) const;

    Headers fHeaders;
    // The picture fields of the comment packet (some perhaps no picture
    // block); -1 when the file's headers are no longer known.
    int fStoredFields = 0;
};
