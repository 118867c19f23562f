#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

// Lays out the frames of an ID3v2 tag rewritten in place so that its
// pictures stay at the offset they had. A longer or shorter title then
// changes a few hundred bytes of the file instead of moving a cover of
// hundreds of kilobytes, which a save would otherwise have to copy into its
// rollback journal, write again and sync.
//
// The room in front of the pictures is filled exactly, by frames as
// significant as can be (the earlier in their order, the more), two ways
// that every reader takes as it would the plain frame:
//  - a text frame may end in one terminator, which readers drop;
//  - the program's own frame (its custom tag), whose reader skips white
//    space after the last entry, takes any length from its smallest up.
// The frames that do not go in front follow the pictures, in their order.
class Id3PinnedLayout {
public:
    struct Input {
        int version = 4;                      // of the frames: 3 or 4
        qsizetype picturesAt = 0;             // offset of the first picture frame in the old tag
        std::vector<QByteArrayView> pictures; // the picture frames as written, in pieces
        std::vector<QByteArray> frames;       // every other frame, rendered, in order
        qsizetype fillerMin = -1; // the own frame's smallest size; -1 when there is none
        // The own frame rendered exactly `size` bytes long; empty when its
        // text cannot make up that size (two bytes a character, say).
        std::function<QByteArray(qsizetype size)> filler;
        qsizetype tagLength = 0; // the old tag: header, frames and padding
        // Put in front of the area in the same buffer (the tag's header), so
        // that a whole tag, cover included, is not copied once more.
        QByteArrayView lead;
    };

    // `lead`, then the bytes after the 10-byte header, tagLength - 10 of
    // them; null when the frames cannot be laid out around the pictures in
    // that space.
    static QByteArray frameArea(const Input& in);

    // Sorts frames so that those a player shows first come first (title,
    // artist, album, track, disc, date, genre), the rest in their order.
    static void orderBySignificance(std::vector<QByteArray>& frames);

    // The frames of a rendered frame area (ID3v2.`version`, 3 or 4), up to
    // its padding; empty when the bytes are not whole frames.
    static std::vector<QByteArray> splitFrames(QByteArrayView area, int version);
};
