#include "media/OggPage.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// The page checksum a bit at a time, as the format defines it.
quint32 bitByBit(quint32 crc, const QByteArray& bytes) {
    for (const char c : bytes) {
        crc ^= quint32(quint8(c)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

} // namespace

// Every length around the steps the checksum takes (8 and 16 bytes, and
// the 64 from which it folds), from any running value, and a page's worth
// taken in two pieces.
TEST(OggPageChecksum, AgreesWithTheDefinitionAtEveryLengthAndStart) {
    QRandomGenerator random(7);
    QByteArray bytes(70000, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random.generate());
    for (const qsizetype length : {0, 1, 7, 8, 15, 16, 17, 63, 64, 65, 79, 80, 81, 255, 4096, 65025,
                                   70000}) {
        const QByteArray piece = bytes.first(length);
        for (const quint32 start : {0u, 0xFFFFFFFFu, 0x80000001u, random.generate()}) {
            EXPECT_EQ(OggPage::checksum(start, piece.constData(), length), bitByBit(start, piece))
                << length << " from " << start;
        }
        const qsizetype half = length / 2 + 3 < length ? length / 2 + 3 : length;
        EXPECT_EQ(OggPage::checksum(OggPage::checksum(piece.constData(), half),
                                    piece.constData() + half, length - half),
                  bitByBit(0, piece))
            << length;
    }
}
