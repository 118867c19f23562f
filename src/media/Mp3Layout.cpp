#include "media/Mp3Layout.h"

#include "media/FileStretch.h"

#include <QtEndian>

#include <algorithm>

namespace {

// Read a byte at a time: the compiler cannot prove a pointer into the
// buffer long enough.
uint32_t le32At(const QByteArray& b, qsizetype at) {
    return uint32_t(uint8_t(b.at(at))) | uint32_t(uint8_t(b.at(at + 1))) << 8 |
           uint32_t(uint8_t(b.at(at + 2))) << 16 | uint32_t(uint8_t(b.at(at + 3))) << 24;
}

// Clipped at the end of the file.
QByteArray bytesAt(const FileStretch& file, int64_t offset, int64_t length) {
    const auto size = int64_t(file.size());
    if (offset < 0 || offset >= size) return {};
    return file.bytes(uint64_t(offset), uint64_t(std::min(length, size - offset)));
}

// "ID3" or "3DI", a version of 2 to 4, a size in seven-bit bytes.
bool plausibleTagHeader(const QByteArray& h) {
    return (h.startsWith("ID3") || h.startsWith("3DI")) && uint8_t(h[3]) >= 2 &&
           uint8_t(h[3]) <= 4 && uint8_t(h[4]) != 0xFF &&
           std::all_of(h.constData() + 6, h.constData() + 10,
                       [](char c) { return uint8_t(c) < 0x80; });
}

constexpr int64_t kSearchEdge = 4096;

} // namespace

bool Mp3Layout::frameSync(uint8_t first, uint8_t second) {
    return first == 0xFF && second != 0xFF && (second & 0xE0) == 0xE0;
}

int64_t Mp3Layout::tagLengthOf(const QByteArray& header) {
    if (header.size() < 10) return 0;
    int64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (uint8_t(header[i]) >= 0x80) {
            size = 0; // TagLib reads no frames from such a tag
            break;
        }
        size = (size << 7) | uint8_t(header[i]);
    }
    return size + 10 + ((uint8_t(header[5]) & 0x10) ? 10 : 0);
}

int64_t Mp3Layout::frameLength(const uint8_t* h) {
    if (!frameSync(h[0], h[1])) return -1;
    static const int kBitrates[2][3][16] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    static const int kSampleRates[3][4] = {
        {44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};
    static const int kSamplesPerFrame[3][2] = {{384, 384}, {1152, 1152}, {1152, 576}};
    static const int kPadding[3] = {4, 1, 1};
    const int versionBits = (h[1] >> 3) & 0x03;
    int version = 0; // 0: MPEG-1, 1: MPEG-2, 2: MPEG-2.5
    if (versionBits == 0)
        version = 2;
    else if (versionBits == 2)
        version = 1;
    else if (versionBits == 3)
        version = 0;
    else
        return -1;
    const int layerBits = (h[1] >> 1) & 0x03;
    if (layerBits == 0) return -1;
    const int layer = 4 - layerBits; // 1, 2 or 3
    const int versionIndex = version == 0 ? 0 : 1;
    const int layerIndex = layer - 1;
    const int bitrate = kBitrates[versionIndex][layerIndex][(h[2] >> 4) & 0x0F];
    const int sampleRate = kSampleRates[version][(h[2] >> 2) & 0x03];
    if (bitrate == 0 || sampleRate == 0) return -1;
    int64_t length =
        int64_t(kSamplesPerFrame[layerIndex][versionIndex]) * bitrate * 125 / sampleRate;
    if ((h[2] >> 1) & 0x01) length += kPadding[layerIndex];
    return length;
}

bool Mp3Layout::sameStream(const uint8_t* h, const uint8_t* next) {
    const uint32_t mask = 0xFFFE0C00;
    return (qFromBigEndian<uint32_t>(h) & mask) == (qFromBigEndian<uint32_t>(next) & mask);
}

bool Mp3Layout::frameAt(const FileStretch& file, int64_t offset) {
    const QByteArray h = bytesAt(file, offset, 4);
    if (h.size() < 4) return false;
    const int64_t length = frameLength(reinterpret_cast<const uint8_t*>(h.constData()));
    if (length < 0) return false;
    const QByteArray next = bytesAt(file, offset + length, 4);
    return next.size() == 4 && sameStream(reinterpret_cast<const uint8_t*>(h.constData()),
                                          reinterpret_cast<const uint8_t*>(next.constData()));
}

int64_t Mp3Layout::findTag(const FileStretch& file) {
    const auto size = int64_t(file.size());
    if (bytesAt(file, 0, 3) == "ID3") return 0;
    if (frameAt(file, 0)) return -1;
    uint8_t sync[2] = {0, 0};
    char id[3] = {0, 0, 0};
    constexpr int64_t kBlock = 1024;
    for (int64_t position = 0; position < size; position += kBlock) {
        const QByteArray block = bytesAt(file, position, kBlock);
        if (block.isEmpty()) return -1;
        for (qsizetype i = 0; i < block.size(); ++i) {
            sync[0] = sync[1];
            sync[1] = uint8_t(block[i]);
            if (frameSync(sync[0], sync[1]) && frameAt(file, position + i - 1)) return -1;
            id[0] = id[1];
            id[1] = id[2];
            id[2] = block[i];
            if (id[0] == 'I' && id[1] == 'D' && id[2] == '3') return position + i - 2;
        }
    }
    return -1;
}

Mp3Layout Mp3Layout::read(const FileStretch& file) {
    // The start and the end of the file are read once; the few reads
    // elsewhere (behind the tag, far back) go to the file.
    const auto size = int64_t(file.size());
    const QByteArray head = bytesAt(file, 0, kSearchEdge);
    const int64_t endAt = std::max<int64_t>(0, size - kSearchEdge);
    const QByteArray end = bytesAt(file, endAt, kSearchEdge);
    auto bytes = [&](int64_t offset, int64_t length) {
        if (offset < 0 || offset >= size || length <= 0) return QByteArray();
        length = std::min(length, size - offset);
        if (offset + length <= head.size()) return head.mid(qsizetype(offset), qsizetype(length));
        if (offset >= endAt && offset + length <= endAt + end.size())
            return end.mid(qsizetype(offset - endAt), qsizetype(length));
        return bytesAt(file, offset, length);
    };
    Mp3Layout layout;
    layout.size = size;
    layout.tagAt = bytes(0, 3) == "ID3" ? 0 : findTag(file);
    if (layout.tagAt >= 0) {
        const QByteArray header = bytes(layout.tagAt, 10);
        layout.tagLength = tagLengthOf(header);
        if (header.size() == 10) {
            layout.tagMajor = uint8_t(header[3]);
            layout.tagFlags = uint8_t(header[5]);
        }
    }
    // Further ID3v2 tags right behind the first: TagLib counts them into
    // the first as padding, so a save writes over them.
    while (layout.tagAt >= 0) {
        const QByteArray header = bytes(layout.tagAt + layout.tagLength, 10);
        if (header.size() < 10 || !header.startsWith("ID3")) break;
        layout.tagLength += tagLengthOf(header);
    }
    // ID3v1: "TAG" 128 bytes from the end, unless it is part of an APE footer.
    if (size >= 131) {
        const QByteArray tail = bytes(size - 131, 8);
        if (tail.mid(3, 3) == "TAG" && tail != "APETAGEX") layout.v1At = size - 128;
    }
    // APEv2: its footer right before the ID3v1 tag or the end.
    const int64_t footerAt = (layout.v1At >= 0 ? layout.v1At : size) - 32;
    const QByteArray footer = bytes(footerAt, 32);
    if (footer.size() == 32 && footer.startsWith("APETAGEX")) {
        const int64_t tagSize = le32At(footer, 12);
        const bool header = le32At(footer, 20) & 0x80000000u;
        const int64_t complete = tagSize + (header ? 32 : 0);
        const int64_t at = footerAt + 32 - complete;
        if (complete >= 32 && at >= layout.tagEnd()) {
            layout.apeAt = at;
            layout.apeLength = complete;
        }
    }
    // The tags at the end, read backwards: APEv2 tags (footer "APETAGEX")
    // and appended ID3v2 tags (footer "3DI"), in any order.
    layout.trailAt = layout.v1At >= 0 ? layout.v1At : size;
    for (;;) {
        const QByteArray ape = bytes(layout.trailAt - 32, 32);
        if (ape.size() == 32 && ape.startsWith("APETAGEX")) {
            const int64_t tagSize = le32At(ape, 12);
            const bool header = le32At(ape, 20) & 0x80000000u;
            const int64_t complete = tagSize + (header ? 32 : 0);
            if (complete < 32 || layout.trailAt - complete < layout.tagEnd()) break;
            layout.trailAt -= complete;
            continue;
        }
        const QByteArray footer = bytes(layout.trailAt - 10, 10);
        if (footer.size() == 10 && footer.startsWith("3DI") && plausibleTagHeader(footer)) {
            const int64_t complete = tagLengthOf(footer); // its flags count the footer
            const int64_t at = layout.trailAt - complete;
            if (at < layout.tagEnd() || bytes(at, 3) != "ID3") break;
            layout.trailAt = at;
            continue;
        }
        break;
    }
    return layout;
}

void Mp3Layout::setFirstFrame(int64_t offset) {
    firstFrame = offset;
    // The audio starts behind them: they are not tags.
    if (trailAt < offset) trailAt = v1At >= 0 ? v1At : size;
}
