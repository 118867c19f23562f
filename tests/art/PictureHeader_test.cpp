#include "art/PictureHeader.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

namespace {

QByteArray imageBytes(int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// An Exif segment (APP1) stating `orientation`, in either byte order.
QByteArray exifSegment(int orientation, bool little) {
    const auto u16 = [little](int v) {
        const char low = char(v & 0xFF), high = char(v >> 8);
        return QByteArray(1, little ? low : high) + QByteArray(1, little ? high : low);
    };
    QByteArray tiff = little ? QByteArray("II") + u16(42) : QByteArray("MM") + u16(42);
    tiff += little ? QByteArray("\x08\0\0\0", 4) : QByteArray("\0\0\0\x08", 4);
    tiff += u16(1); // one entry
    tiff += u16(0x0112) + u16(3) + u16(1) + u16(0) + u16(orientation) + u16(0);
    tiff += QByteArray(4, '\0'); // no next IFD
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(body.size()) + 2;
    return QByteArray("\xFF\xE1", 2) + QByteArray(1, char(length >> 8)) +
           QByteArray(1, char(length & 0xFF)) + body;
}

QByteArray withExif(const QByteArray& jpeg, int orientation, bool little) {
    return jpeg.left(2) + exifSegment(orientation, little) + jpeg.mid(2);
}

TEST(PictureHeader, SizeAsShownFromTheHeaderAloneOrNone) {
    const QByteArray jpeg = imageBytes(40, 30, "JPEG");
    const QByteArray png = imageBytes(7, 300, "PNG");
    // The frame header of the encoder's JPEG: its length field, to corrupt.
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    QByteArray frameRunsPastTheEnd = jpeg.left(frame + 4);
    frameRunsPastTheEnd[frame + 2] = char(0x7F);
    struct Row {
        const char* what;
        QByteArray bytes;
        QSize expected;
    };
    const Row rows[] = {
        {"JPEG", jpeg, {40, 30}},
        {"PNG", png, {7, 300}},
        {"JPEG turned a quarter (Exif 6, little-endian)", withExif(jpeg, 6, true), {30, 40}},
        {"JPEG turned a quarter (Exif 8, big-endian)", withExif(jpeg, 8, false), {30, 40}},
        {"JPEG upside down (Exif 3)", withExif(jpeg, 3, false), {40, 30}},
        {"JPEG cut before its frame header", jpeg.left(frame + 6), {}},
        {"JPEG segment longer than the bytes", frameRunsPastTheEnd, {}},
        {"JPEG with data before any frame", QByteArray("\xFF\xD8\xFF\xDA\0\x02", 6), {}},
        {"JPEG with garbage between segments", QByteArray("\xFF\xD8\xFF\xE0\0\x02xx", 8), {}},
        {"JPEG of zero width", QByteArray("\xFF\xD8\xFF\xC0\0\x0B\x08\0\x10\0\0\x01", 12), {}},
        {"PNG cut inside its header", png.left(20), {}},
        {"PNG whose first chunk is not IHDR", png.left(12) + "IDAT" + png.mid(16, 8), {}},
        {"GIF (another format)", QByteArray("GIF89a\x0A\0\x0A\0", 10), {}},
        {"nothing", QByteArray(), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(PictureHeader::size(row.bytes), row.expected);
        // Every cut of the bytes is bounded by them.
        for (qsizetype n = 0; n < std::min<qsizetype>(row.bytes.size(), 700); ++n)
            (void)PictureHeader::size(row.bytes.left(n));
    }
}

} // namespace
