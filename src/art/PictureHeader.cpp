#include "art/PictureHeader.h"

#include "media/MusicFile.h"

#include <cstdint>

namespace PictureHeader {

namespace {

using Bytes = const unsigned char*;

uint32_t big16(Bytes p) {
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t big32(Bytes p) {
    return big16(p) << 16 | big16(p + 2);
}

QSize validSize(uint32_t width, uint32_t height) {
    constexpr uint32_t kMax = 1u << 30;
    if (width == 0 || height == 0 || width > kMax || height > kMax) return {};
    return QSize(int(width), int(height));
}

QSize pngSize(Bytes p, qsizetype n) {
    // The signature, then IHDR first of all chunks: its width and height.
    if (n < 24 || QByteArrayView(p + 12, 4) != "IHDR") return {};
    return validSize(big32(p + 16), big32(p + 20));
}

// The orientation an Exif segment (after "Exif\0\0") states; 1 when none.
int exifOrientation(Bytes tiff, qsizetype n) {
    if (n < 8) return 1;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    const auto u16 = [&](qsizetype at) {
        return little ? uint32_t(tiff[at]) | uint32_t(tiff[at + 1]) << 8 : big16(tiff + at);
    };
    const auto u32 = [&](qsizetype at) {
        return little ? u16(at) | u16(at + 2) << 16 : big32(tiff + at);
    };
    const uint32_t ifd = u32(4);
    if (ifd > uint32_t(n) || n - qsizetype(ifd) < 2) return 1;
    const uint32_t entries = u16(ifd);
    for (uint32_t i = 0; i < entries; ++i) {
        const qsizetype at = qsizetype(ifd) + 2 + qsizetype(i) * 12;
        if (at + 12 > n) return 1;
        if (u16(at) == 0x0112) return int(u16(at + 8));
    }
    return 1;
}

QSize jpegSize(Bytes p, qsizetype n) {
    int orientation = 1;
    qsizetype at = 2;
    while (at < n) {
        if (p[at] != 0xFF) return {};
        while (at < n && p[at] == 0xFF)
            ++at;
        if (at >= n) return {};
        const unsigned marker = p[at++];
        // Markers that stand alone.
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        // The image ends, or its data starts, before any frame header.
        if (marker == 0xD9 || marker == 0xDA || at + 2 > n) return {};
        const qsizetype length = qsizetype(big16(p + at));
        if (length < 2 || length > n - at) return {};
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7) return {};
            QSize size = validSize(big16(p + at + 5), big16(p + at + 3));
            // Orientations 5 to 8 turn the picture a quarter.
            if (orientation >= 5 && orientation <= 8) size.transpose();
            return size;
        }
        if (marker == 0xE1 && length >= 8 &&
            QByteArrayView(p + at + 2, 6) == QByteArrayView("Exif\0\0", 6))
            orientation = exifOrientation(p + at + 8, length - 8);
        at += length;
    }
    return {};
}

} // namespace

QSize size(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<Bytes>(bytes.constData());
    const QByteArray format = MusicFile::imageFormatOf(bytes);
    if (format == "png") return pngSize(p, bytes.size());
    if (format == "jpeg") return jpegSize(p, bytes.size());
    return {};
}

} // namespace PictureHeader
