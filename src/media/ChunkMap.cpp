#include "media/ChunkMap.h"

#include "media/Atom.h"
#include "media/BigEndian.h"
#include "media/FileIO.h"
#include "media/QuickPrint.h"
#include "system/Durable.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>

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

void appendAt(int fd, uint64_t offset, uint64_t length, QByteArray& into, bool& ok) {
    const qsizetype at = into.size();
    into.resize(at + qsizetype(length));
    ok = ok && FileIO::readAt(fd, into.data() + at, size_t(length), offset);
}

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
    QuickPrint hash;
    const size_t n = fChunks.size();
    const size_t picks = std::min(n, std::max<size_t>(limit, 2));
    QByteArray bytes;
    bool ok = true;
    for (size_t k = 0; k < picks && ok; ++k) {
        const size_t i = picks == n ? k : size_t(uint64_t(k) * (n - 1) / (picks - 1));
        const Chunk& c = fChunks[i];
        const uint64_t head = c.length ? std::min(c.length, kTableEdge) : kTableEdge;
        bytes.clear();
        bytes.append(reinterpret_cast<const char*>(&c.length), sizeof c.length);
        appendAt(fd, c.offset, head, bytes, ok);
        if (c.length > kTableEdge)
            appendAt(fd, c.offset + c.length - kTableEdge, kTableEdge, bytes, ok);
        hash.addData(bytes);
        if (!ok)
            return {{},
                    Outcome::failed(QStringLiteral("chunk %1 at offset %2 cannot be read: %3")
                                        .arg(i)
                                        .arg(c.offset)
                                        .arg(Durable::errnoText(errno)))};
    }
    return {hash.result(), Outcome::done()};
}
