#include "media/OggPage.h"

#include "media/FileIO.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

constexpr qsizetype kFirstRead = 16 << 10;
constexpr qsizetype kLargestRead = 1 << 20;

// Eight tables, so that the checksum takes eight bytes a step: table k
// advances a byte by k further zero bytes.
using CrcTables = std::array<std::array<quint32, 256>, 8>;

const CrcTables& crcTables() {
    static const CrcTables tables = [] {
        CrcTables t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[0][i] = r;
        }
        for (size_t k = 1; k < t.size(); ++k)
            for (quint32 i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
        return t;
    }();
    return tables;
}

#if defined(__x86_64__)
// Sixteen bytes a step with carry-less multiplication, where the processor
// has it: the bytes so far, as a polynomial of degree below 128, move up by
// 128 degrees as two 64-bit halves times x^192 and x^128 modulo the
// checksum's polynomial, and the next block is added. What remains is 16
// bytes whose checksum from 0 is the running one, which the tables finish.
// Sixteen bytes as a polynomial: the first byte's top bit is x^127.
__attribute__((target("ssse3"))) inline __m128i blockAt(const quint8* at) {
    const __m128i reversed = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), reversed);
}

// `x` moved up by the degrees `by` holds, plus `next`.
__attribute__((target("pclmul"))) inline __m128i fold(__m128i x, __m128i by, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, by, 0x11), _mm_clmulepi64_si128(x, by, 0x00)), next);
}

__attribute__((target("pclmul,ssse3"))) quint32 foldedChecksum(quint32 crc, const quint8*& p,
                                                                qsizetype& size) {
    const __m128i by128 = _mm_set_epi64x(0xC5B9CD4C, 0xE8A45605); // x^192, x^128 mod P
    const __m128i by512 = _mm_set_epi64x(0x8833794C, 0xE6228B11); // x^576, x^512 mod P
    // The running checksum joins the first four bytes.
    __m128i x = _mm_xor_si128(blockAt(p), _mm_set_epi32(int(crc), 0, 0, 0));
    p += 16;
    size -= 16;
    // Four blocks at a time in four lanes, which the processor multiplies
    // side by side, then the lanes folded into one.
    if (size >= 112) {
        __m128i lanes[4] = {x, blockAt(p), blockAt(p + 16), blockAt(p + 32)};
        for (p += 48, size -= 48; size >= 64; p += 64, size -= 64)
            for (int i = 0; i < 4; ++i)
                lanes[i] = fold(lanes[i], by512, blockAt(p + 16 * i));
        x = fold(fold(fold(lanes[0], by128, lanes[1]), by128, lanes[2]), by128, lanes[3]);
    }
    for (; size >= 16; p += 16, size -= 16)
        x = fold(x, by128, blockAt(p));
    const __m128i reversed = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    alignas(16) quint8 bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), _mm_shuffle_epi8(x, reversed));
    const CrcTables& t = crcTables();
    crc = 0;
    for (quint8 b : bytes)
        crc = (crc << 8) ^ t[0][(crc >> 24) ^ b];
    return crc;
}

// Asked of the processor the first time a page is checked, not with
// __builtin_cpu_supports: that links in a probe of every feature which runs
// as the program starts, and under a hypervisor each of its queries traps
// (0.16 ms of every start, though most never read an Ogg file).
bool canFold() {
    static const bool can = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) && (ecx & bit_SSSE3);
    }();
    return can;
}
#endif

} // namespace

quint32 OggPage::checksum(const char* data, qsizetype size) {
    return checksum(0, data, size);
}

quint32 OggPage::checksum(quint32 crc, const char* data, qsizetype size) {
    const CrcTables& t = crcTables();
    const auto* p = reinterpret_cast<const quint8*>(data);
#if defined(__x86_64__)
    if (size >= 64 && canFold()) crc = foldedChecksum(crc, p, size);
#endif
    for (; size >= 8; size -= 8, p += 8) {
        const quint32 high = crc ^ qFromBigEndian<quint32>(p);
        crc = t[7][high >> 24] ^ t[6][(high >> 16) & 0xFF] ^ t[5][(high >> 8) & 0xFF] ^
              t[4][high & 0xFF] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; size > 0; --size, ++p)
        crc = (crc << 8) ^ t[0][(crc >> 24) ^ *p];
    return crc;
}

bool OggPage::Reader::bytesAt(char* data, size_t length, uint64_t offset) {
    if (offset >= fAt && offset - fAt + length <= uint64_t(fBuffer.size())) {
        memcpy(data, fBuffer.constData() + (offset - fAt), length);
        return true;
    }
    // Twice the last read each time, from 16 KB to a megabyte.
    const qsizetype next = std::clamp<qsizetype>(2 * fBuffer.size(), kFirstRead, kLargestRead);
    if (length > size_t(next)) return FileIO::readAt(fFd, data, length, offset);
    if (offset > fSize) return false;
    fBuffer.resize(qsizetype(std::min<uint64_t>(uint64_t(next), fSize - offset)));
    fAt = offset;
    if (!FileIO::readAt(fFd, fBuffer.data(), size_t(fBuffer.size()), offset)) {
        fBuffer.clear();
        return false;
    }
    if (length > size_t(fBuffer.size())) return false;
    memcpy(data, fBuffer.constData(), length);
    return true;
}

OggPage::Read OggPage::Reader::readAt(uint64_t offset, OggPage* page, uint64_t* length) {
    const uint64_t size = fSize;
    if (offset == size) return Read::End;
    if (offset > size || size - offset < uint64_t(kHeaderSize)) return Read::Damaged;
    char head[kHeaderSize];
    if (!bytesAt(head, kHeaderSize, offset)) return Read::Damaged;
    if (QByteArray::fromRawData(head, 4) != "OggS" || head[4] != 0) return Read::Damaged;
    const int segments = quint8(head[26]);
    QByteArray lacing(segments, Qt::Uninitialized);
    if (size - offset - kHeaderSize < uint64_t(segments) ||
        !bytesAt(lacing.data(), size_t(segments), offset + kHeaderSize))
        return Read::Damaged;
    qsizetype bodySize = 0;
    for (char v : lacing)
        bodySize += quint8(v);
    const uint64_t total = uint64_t(kHeaderSize + segments + bodySize);
    if (size - offset < total) return Read::Damaged;
    QByteArray body(bodySize, Qt::Uninitialized);
    if (!bytesAt(body.data(), size_t(bodySize), offset + kHeaderSize + segments))
        return Read::Damaged;

    page->flags = quint8(head[5]);
    page->granule = qFromLittleEndian<quint64>(head + 6);
    page->serial = qFromLittleEndian<quint32>(head + 14);
    page->sequence = qFromLittleEndian<quint32>(head + 18);
    page->lacing = lacing;
    page->body = body;
    // The checksum covers the header with its own field zeroed.
    const quint32 stored = qFromLittleEndian<quint32>(head + 22);
    memset(head + 22, 0, 4);
    quint32 crc = checksum(0, head, kHeaderSize);
    crc = checksum(crc, lacing.constData(), lacing.size());
    if (checksum(crc, body.constData(), body.size()) != stored) return Read::Damaged;
    page->crc = stored;
    *length = total;
    return Read::Ok;
}

void OggPage::appendTo(QByteArray& out) const {
    const qsizetype start = out.size();
    out.resize(start + kHeaderSize);
    char* h = out.data() + start;
    memcpy(h, "OggS", 4);
    h[4] = 0;
    h[5] = char(flags);
    qToLittleEndian<quint64>(granule, h + 6);
    qToLittleEndian<quint32>(serial, h + 14);
    qToLittleEndian<quint32>(sequence, h + 18);
    memset(h + 22, 0, 4);
    h[26] = char(lacing.size());
    out.append(lacing);
    out.append(body);
    qToLittleEndian<quint32>(checksum(out.constData() + start, out.size() - start),
                             out.data() + start + 22);
}

std::vector<OggPage> OggPage::paginate(const std::vector<QByteArray>& packets, quint32 serial,
                                       quint32 firstSequence, quint8 firstFlags) {
    std::vector<OggPage> pages;
    OggPage page;
    page.flags = firstFlags;
    bool packetEnded = false;
    auto flush = [&](bool continues) {
        // A page on which no packet ends has no granule position.
        page.granule = packetEnded ? 0 : ~uint64_t(0);
        page.serial = serial;
        page.sequence = firstSequence + quint32(pages.size());
        pages.push_back(page);
        page = OggPage();
        page.flags = continues ? kContinued : 0;
        packetEnded = false;
    };
    for (size_t i = 0; i < packets.size(); ++i) {
        const QByteArray& packet = packets[i];
        qsizetype at = 0;
        for (;;) {
            // A packet of n bytes takes n / 255 values of 255 and one less.
            const qsizetype piece = qMin<qsizetype>(packet.size() - at, 255);
            page.lacing.append(char(piece));
            page.body.append(packet.constData() + at, piece);
            at += piece;
            const bool ends = piece < 255;
            packetEnded = packetEnded || ends;
            if (page.lacing.size() == 255) flush(!ends);
            if (ends) break;
        }
        // The first packet has a page of its own, and the last ends its page.
        if ((i == 0 || i + 1 == packets.size()) && !page.lacing.isEmpty()) flush(false);
    }
    return pages;
}
