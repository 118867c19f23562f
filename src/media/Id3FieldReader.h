#pragma once

#include "media/Mp3Layout.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>
#include <vector>

// Opening a folder reads only what a track record shows: a plain ID3v2.3 or
// ID3v2.4 tag at the start of the file is walked frame header by frame
// header, the few text frames a record reads are copied out, and pictures
// are only noted (their place in the file and whether one is a cover).
// Anything this walk does not fully understand gives nullopt, and the file
// is read the whole way through TagLib instead: junk before the tag, a
// second tag behind it, tags at the end other than ID3v1, header or frame
// flags (unsynchronisation, extended header, compression, encryption,
// grouping), frame sizes TagLib could read another way, an empty frame,
// bytes behind the frames that are not padding.
class Id3FieldReader {
public:
    struct Frame {
        QByteArray id;
        QByteArray body; // the frame's bytes behind its 10-byte header
    };
    struct Fields {
        int version = 0;     // 3 or 4; 0 without a tag
        QList<Frame> frames; // the text frames a record reads, in file order
        // The picture a record shows (the first front cover holding bytes,
        // else the first picture of type "other" holding bytes): where its
        // frame body lies in the file; -1 without one.
        int64_t coverAt = -1;
        int64_t coverLength = 0;
        int64_t coverPictureAt = 0; // where in that body the picture's bytes start
        // Every picture frame, in tag order: where it lies in the tag and
        // how long it is, its header included.
        struct Span {
            int64_t at = 0;
            int64_t length = 0;
        };
        std::vector<Span> pictures;
    };

    // The frames read from the file at the layout's tag.
    static std::optional<Fields> read(const FileStretch& file, const Mp3Layout& layout);

    // Whether a picture frame body of `length` bytes, of which `prefix` holds
    // the start, has picture bytes and is of `type`, and where in the body
    // they start (TagLib's reading of the frame); nullopt when the prefix is
    // too short to tell.
    struct PictureKind {
        int type = 0;
        bool hasBytes = false;
        int64_t pictureAt = 0;
    };
    static std::optional<PictureKind> pictureKind(const QByteArray& prefix, int64_t length);
};
