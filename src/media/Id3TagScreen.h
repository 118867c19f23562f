#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// An ID3v2 tag as TagLib is shown it. TagLib inflates a compressed frame
// without any limit (a 3 MB frame can ask for gigabytes), stops at an empty
// frame as if the tag ended there, and its frame factory only sees a
// frame's header, never its bytes; so the tag's frames are walked here
// first, the way TagLib will walk them:
//  - a compressed frame is inflated with a bound; one that would inflate
//    past 16 MB, or take the tag past 64 MB, is taken out of the bytes
//    TagLib sees (the frames after it move up, zeros fill the end);
//  - an empty frame is taken out the same way, so the frames after it are
//    read;
//  - a frame TagLib would lose or garble (cut off by the end of the tag,
//    behind bytes that are not a frame, encrypted, grouped) is named.
// A file whose tag lost a frame this way is read but never written.
class Id3TagScreen {
public:
    static constexpr uint64_t kMaxFrameBytes = uint64_t(16) << 20;
    static constexpr uint64_t kMaxTagBytes = uint64_t(64) << 20;

    struct Result {
        QByteArray tag;      // what TagLib is shown: the same length as the stored tag
        QStringList skipped; // frames a save would lose, with why
        QStringList emptied; // empty frames taken out: nothing is lost
    };

    // `tag`: the complete tag as stored (header, frames, padding, footer).
    static Result screen(const QByteArray& tag);

    // How many bytes the zlib stream at `data` inflates to, counting no
    // further than `limit` + 1: above `limit` means too large. The output
    // is thrown away as it comes; a broken stream counts what came out.
    static uint64_t inflatedSize(const char* data, size_t size, uint64_t limit);
};
