#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

class FileStretch;

namespace TagLib::MPEG {
class File;
}

// Where the parts of an MP3 file lie: a leading ID3v2 tag (at the start,
// or behind junk before the first MPEG frame, where TagLib looks for it),
// the first audio frame, and the tags at the end (APEv2, an appended ID3v2
// tag, ID3v1). The leading tag is found by the rules TagLib follows, so
// that the bytes screened for TagLib are the bytes it reads.
struct Mp3Layout {
    int64_t size = 0;
    int64_t tagAt = -1;    // -1: no ID3v2 tag
    int64_t tagLength = 0; // complete, as TagLib counts it: with tags right behind it
    int tagMajor = 0;      // 2, 3 or 4
    uint8_t tagFlags = 0;  // the header's flag byte
    int64_t firstFrame = -1;
    int64_t apeAt = -1; // an APEv2 tag before the ID3v1 tag or the end
    int64_t apeLength = 0;
    int64_t v1At = -1;   // an ID3v1 tag in the last 128 bytes
    int64_t trailAt = 0; // where the tags at the end begin (APEv2, ID3v2, ID3v1)

    int64_t tagEnd() const { return tagAt >= 0 ? tagAt + tagLength : 0; }

    // How much of the start of the file to read at once: the layout, the
    // tag's frames and the first audio frames of a file with a small tag
    // all lie in it, and a short file is read whole.
    static constexpr size_t kStartBytes = 8192;

    // Fills in the tags at the start and end from the file's bytes; the
    // first frame comes from TagLib, which has parsed the file (then
    // setFirstFrame).
    static Mp3Layout read(const FileStretch& file);
    // Tags at the end count only behind the audio's start.
    void setFirstFrame(int64_t offset);
    // The complete length of the tag whose 10-byte header this is, as
    // TagLib reads it (a flag 0x10 counts a footer, in any version).
    static int64_t tagLengthOf(const QByteArray& header);
    // TagLib's search: "ID3" at the start, or before the first valid MPEG
    // frame; -1 when there is none.
    static int64_t findTag(const FileStretch& file);
    // Whether a valid MPEG frame header stands at `offset`, followed by
    // another like it where the first one ends.
    static bool frameAt(const FileStretch& file, int64_t offset);
    // The length of the frame whose 4-byte header `h` is, by TagLib's
    // reading of it; -1 when it is not a valid header.
    static int64_t frameLength(const uint8_t* h);
    // The eleven set bits a frame header starts with, not those of a run of 0xFF.
    static bool frameSync(uint8_t first, uint8_t second);
    // Whether the 4-byte headers `h` and `next` agree where consecutive
    // frames must.
    static bool sameStream(const uint8_t* h, const uint8_t* next);
};
