#include "media/ChunkMap.h"

#include "media/Atom.h"
#include "media/BigEndian.h"
#include "media/FileIO.h"
#include "media/QuickPrint.h"
#include "system/Durable.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <vector>

using namespace AtomTypes;

namespace {

constexpr uint64_t kTableEdge = 16;

// The sizes of the samples, from "stsz" (one size for all, or a table) or
// "stz2" (4-, 8- or 16-bit fields). False when the table is cut short.
struct SampleSizes {
    uint32_t uniform = 0;
    uint64_t count = 0;
    const char* table = nullptr;
    int bits = 32;

    bool read(const Atom* atom) {
        const QByteArray& p = atom->contents();
        if (atom->type() == kStsz) {
            if (p.size() < 12) return false;
            uniform = be32(p.constData() + 4);
            count = be32(p.constData() + 8);
            table = p.constData() + 12;
            return uniform != 0 || count <= uint64_t(p.size() - 12) / 4;
        }
        if (p.size() < 12) return false;
        bits = uint8_t(p[7]);
        count = be32(p.constData() + 8);
        table = p.constData() + 12;
        if (bits != 4 && bits != 8 && bits != 16) return false;
        return count <= uint64_t(p.size() - 12) * 8 / uint64_t(bits);
    }

    uint64_t at(uint64_t i) const {
        if (uniform != 0) return uniform;
        switch (bits) {
        case 4: {
            const uint8_t b = uint8_t(table[i / 2]);
            return i % 2 ? b & 0x0F : b >> 4;
        }
        case 8:
            return uint8_t(table[i]);
        case 16:
            return qFromBigEndian<uint16_t>(table + 2 * i);
        default:
            return be32(table + 4 * i);
        }
    }
};

// Reads byte ranges of a file in the order asked, each run of ranges lying
// close together in one read: a fingerprint asks for two 16-byte edges of
// hundreds of chunks, and a read each cost far more than the bytes between.
class RangeReader {
public:
    struct Range {
        uint64_t at = 0, length = 0;
    };
    RangeReader(int fd, const std::vector<Range>& ranges) : fFd(fd), fRanges(ranges) {}

    // Range k's bytes appended to `into`; false when they cannot be read.
    bool append(size_t k, QByteArray& into) {
        const Range& r = fRanges[k];
        if (!holds(r) && !fill(k)) return false;
        into.append(fWindow.constData() + (r.at - fWindowAt), qsizetype(r.length));
        return true;
    }

private:
    // Ranges further apart than this are read apart; a run is read in one
    // go up to kRun bytes.
    static constexpr uint64_t kGap = 16 * 1024;
    static constexpr uint64_t kRun = 256 * 1024;

    bool holds(const Range& r) const {
        return r.at >= fWindowAt && r.length <= uint64_t(fWindow.size()) &&
               r.at - fWindowAt <= uint64_t(fWindow.size()) - r.length;
    }
    bool fill(size_t k) {
        const uint64_t start = fRanges[k].at;
        uint64_t end = start + fRanges[k].length;
        for (size_t j = k + 1; j < fRanges.size(); ++j) {
            const Range& next = fRanges[j];
            if (next.at < start || next.at > end + kGap || next.at + next.length - start > kRun)
                break;
            end = std::max(end, next.at + next.length);
        }
        if (read(start, end)) return true;
        // Cut short by something past this range: its own bytes alone say
        // whether this one can be read.
        return end != start + fRanges[k].length && read(start, start + fRanges[k].length);
    }
    bool read(uint64_t start, uint64_t end) {
        fWindow.resize(qsizetype(end - start));
        fWindowAt = start;
        if (FileIO::readAt(fFd, fWindow.data(), size_t(end - start), start)) return true;
        fWindow.clear();
        return false;
    }

    int fFd;
    const std::vector<Range>& fRanges;
    QByteArray fWindow;
    uint64_t fWindowAt = 0;
};

} // namespace

ChunkMap::ChunkMap(const Atom* moov) {
    if (!moov) return;
    for (const auto& trak : moov->children()) {
        if (trak->type() != kTrak || trak->markedForDeletion()) continue;
        const Atom* mdia = trak->findChild(kMdia);
        const Atom* minf = mdia ? mdia->findChild(kMinf) : nullptr;
        if (const Atom* stbl = minf ? minf->findChild(kStbl) : nullptr) addTable(stbl);
    }
}

void ChunkMap::addTable(const Atom* stbl) {
    const Atom* offsets = stbl->findChild(kStco);
    if (!offsets) offsets = stbl->findChild(kCo64);
    if (!offsets) return;
    const QByteArray& o = offsets->contents();
    const bool wide = offsets->type() == kCo64;
    const uint64_t entry = wide ? 8 : 4;
    if (o.size() < 8) return;
    const uint64_t count = be32(o.constData() + 4);
    if (count > (uint64_t(o.size()) - 8) / entry) return; // the parser refuses such tables
    const size_t first = fChunks.size();
    fChunks.reserve(first + size_t(count));
    for (uint64_t i = 0; i < count; ++i) {
        const char* p = o.constData() + 8 + i * entry;
        fChunks.push_back({wide ? qFromBigEndian<uint64_t>(p) : be32(p), 0});
    }

    // Lengths: the samples of chunk c are the next samples-per-chunk of
    // the stsc run that covers c, their sizes from stsz.
    const Atom* stsc = stbl->findChild(kStsc);
    const Atom* sizesAtom = stbl->findChild(kStsz);
    if (!sizesAtom) sizesAtom = stbl->findChild(kStz2);
    SampleSizes sizes;
    if (!stsc || !sizesAtom || !sizes.read(sizesAtom) || stsc->contents().size() < 8) {
        if (count > 0) fProblem = QStringLiteral("a track whose sample tables are missing");
        return;
    }
    const QByteArray& s = stsc->contents();
    const uint64_t runs = be32(s.constData() + 4);
    if (runs > (uint64_t(s.size()) - 8) / 12) {
        fProblem = QStringLiteral("a sample-to-chunk table longer than its atom");
        return;
    }
    uint64_t sample = 0;
    for (uint64_t r = 0; r < runs; ++r) {
        const char* p = s.constData() + 8 + r * 12;
        const uint64_t from = be32(p);
        const uint64_t perChunk = be32(p + 4);
        const uint64_t to = r + 1 < runs ? uint64_t(be32(p + 12)) : count + 1;
        if (from < 1 || to < from || to > count + 1) {
            fProblem = QStringLiteral("a sample-to-chunk table out of order");
            return;
        }
        for (uint64_t c = from; c < to; ++c) {
            if (perChunk > sizes.count - sample) {
                fProblem = QStringLiteral("chunks that hold more samples than the track has");
                return;
            }
            uint64_t length = 0;
            if (sizes.uniform != 0)
                length = perChunk * sizes.uniform;
            else
                for (uint64_t i = 0; i < perChunk; ++i)
                    length += sizes.at(sample + i);
            fChunks[first + size_t(c - 1)].length = length;
            sample += perChunk;
        }
    }
}

ChunkMap::Fingerprint ChunkMap::fingerprint(int fd, size_t limit) const {
    const size_t n = fChunks.size();
    const size_t picks = std::min(n, std::max<size_t>(limit, 2));
    std::vector<size_t> picked;
    picked.reserve(picks);
    for (size_t k = 0; k < picks; ++k)
        picked.push_back(picks == n ? k : size_t(uint64_t(k) * (n - 1) / (picks - 1)));
    return fingerprintOf(fd, picked);
}

ChunkMap::Fingerprint ChunkMap::fingerprintOutermost(int fd) const {
    std::vector<size_t> picked;
    if (!fChunks.empty()) {
        size_t first = 0, last = 0;
        for (size_t i = 1; i < fChunks.size(); ++i) {
            const Chunk& c = fChunks[i];
            if (c.offset < fChunks[first].offset) first = i;
            if (c.offset + c.length > fChunks[last].offset + fChunks[last].length) last = i;
        }
        picked.push_back(first);
        if (last != first) picked.push_back(last);
    }
    return fingerprintOf(fd, picked);
}

ChunkMap::Fingerprint ChunkMap::fingerprintOf(int fd, const std::vector<size_t>& picked) const {
    // Each picked chunk's first 16 bytes, and its last 16 when it is longer.
    std::vector<RangeReader::Range> ranges;
    ranges.reserve(2 * picked.size());
    for (const size_t i : picked) {
        const Chunk& c = fChunks[i];
        ranges.push_back({c.offset, c.length ? std::min(c.length, kTableEdge) : kTableEdge});
        if (c.length > kTableEdge) ranges.push_back({c.offset + c.length - kTableEdge, kTableEdge});
    }
    QuickPrint hash;
    RangeReader reader(fd, ranges);
    QByteArray bytes;
    for (size_t k = 0, r = 0; k < picked.size(); ++k) {
        const Chunk& c = fChunks[picked[k]];
        bytes.clear();
        bytes.append(reinterpret_cast<const char*>(&c.length), sizeof c.length);
        bool ok = reader.append(r++, bytes);
        if (ok && c.length > kTableEdge) ok = reader.append(r++, bytes);
        if (!ok)
            return {{},
                    Outcome::failed(QStringLiteral("chunk %1 at offset %2 cannot be read: %3")
                                        .arg(picked[k])
                                        .arg(c.offset)
                                        .arg(Durable::errnoText(errno)))};
        hash.addData(bytes);
    }
    return {hash.result(), Outcome::done()};
}
