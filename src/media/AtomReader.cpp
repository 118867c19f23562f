#include "media/AtomReader.h"

#include "media/BigEndian.h"
#include "media/DataAtom.h"

#include <QtEndian>

using namespace AtomTypes;

namespace {

// Real files nest about eight deep and hold a few hundred atoms on the
// metadata path; the caps only stop hostile input from exhausting the stack
// or memory.
constexpr int kMaxDepth = 16;
constexpr size_t kMaxAtoms = 100000;

bool isItem(uint32_t type) {
    switch (type) {
    case kName:
    case kArtist:
    case kAlbumArtist:
    case kAlbum:
    case kDay:
    case kGen:
    case kGnre:
    case kTrkn:
    case kDisk:
    case kCpil:
    case kCovr:
    case kFreeform:
        return true;
    default:
        return false;
    }
}

// Containers are descended only where they belong on the way to the
// metadata and the chunk offsets; a QuickTime "©nam" directly in "udta",
// say, has a different layout and stays a leaf.
bool descends(uint32_t type, uint32_t parent, int level) {
    switch (type) {
    case kMoov:
        return level == 0;
    case kTrak:
        return parent == kMoov;
    case kMdia:
        return parent == kTrak;
    case kMinf:
        return parent == kMdia;
    case kStbl:
        return parent == kMinf;
    case kUdta:
        return parent == kMoov;
    case kMeta:
        return parent == kUdta;
    case kIlst:
        return parent == kMeta;
    default:
        return parent == kIlst && isItem(type);
    }
}

} // namespace

Atom::Ptr AtomReader::read(AtomParseContext& ctx, uint64_t offset, uint64_t max, int level,
                           uint32_t parentType) {
    auto fail = [&](const QString& why) {
        if (ctx.error.isEmpty()) ctx.error = why;
        return Atom::Ptr();
    };
    if (++ctx.atomCount > kMaxAtoms) return fail(QStringLiteral("too many atoms"));
    if (level > kMaxDepth) return fail(QStringLiteral("atoms nested too deeply"));
    // The header must lie in the bytes read; `max` is the space in the file.
    if (max < 8) return fail(QStringLiteral("%1 stray bytes at offset %2").arg(max).arg(offset));
    if (offset < ctx.baseOffset || offset - ctx.baseOffset > ctx.available ||
        ctx.available - (offset - ctx.baseOffset) < 8)
        return fail(QStringLiteral("atom header at offset %1 not read").arg(offset));
    const uint64_t inBuffer = ctx.available - (offset - ctx.baseOffset);
    const uint8_t* p = ctx.base + (offset - ctx.baseOffset);
    const uint32_t size32 = be32(p);
    const uint32_t type = be32(p + 4);
    uint64_t header = 8;
    uint64_t full = 0;
    if (size32 == 0) {
        // "To the end" is only sound for the last atom of the file; inside
        // a container it would swallow the siblings after it.
        if (level != 0)
            return fail(QStringLiteral("'%1' inside a container has the size 0").arg(fourcc(type)));
        full = max;
    } else if (size32 == 1) {
        if (max < 16 || inBuffer < 16)
            return fail(QStringLiteral("64-bit size of '%1' cut off").arg(fourcc(type)));
        full = be64(p + 8);
        header = 16;
        if (full < 16)
            return fail(QStringLiteral("'%1' has the size %2").arg(fourcc(type)).arg(full));
    } else {
        full = size32;
        if (full < 8)
            return fail(QStringLiteral("'%1' has the size %2").arg(fourcc(type)).arg(full));
    }
    if (full > max)
        return fail(QStringLiteral("'%1' at offset %2 claims %3 bytes where %4 are left")
                        .arg(fourcc(type))
                        .arg(offset)
                        .arg(full)
                        .arg(max));

    Atom::Ptr atom = std::make_shared<Atom>(type);
    atom->fLevel = level;
    atom->fHasOriginal = true;
    atom->fLargeHeader = size32 == 1;
    atom->fSizeReadsZero = size32 == 0;
    atom->fOriginalOffset = offset;
    atom->fOriginalLen = full;
    uint64_t payload = offset + header;
    uint64_t payloadLen = full - header;
    const bool opaque = level == 0 && type != kMoov;
    if (!opaque && full > inBuffer)
        return fail(
            QStringLiteral("'%1' at offset %2 was not read whole").arg(fourcc(type)).arg(offset));
    // Valid only for atoms read whole.
    auto at = [&ctx](uint64_t fileOffset) { return ctx.base + (fileOffset - ctx.baseOffset); };

    if (type == kData && isItem(parentType)) {
        if (payloadLen < 8) return fail(QStringLiteral("a 'data' atom shorter than 8 bytes"));
        // A picture stays in the file until something draws or saves it.
        constexpr uint64_t kDeferredBytes = 4096;
        auto value =
            parentType == kCovr && payloadLen - 8 > kDeferredBytes
                ? std::make_shared<DataAtom>(at(payload), payloadLen, level + 1, payload + 8)
                : std::make_shared<DataAtom>(at(payload), payloadLen, level + 1);
        atom->fChildren.push_back(std::move(value));
        return atom;
    }
    if (descends(type, parentType, level)) {
        if (type == kMeta) {
            // The version-and-flags word, unless this is the QuickTime form
            // that starts straight with its "hdlr".
            if (payloadLen < 4) return fail(QStringLiteral("'meta' cut off"));
            const bool quickTime = payloadLen >= 8 && be32(at(payload) + 4) == kHdlr;
            if (!quickTime) {
                atom->fContents = QByteArray(reinterpret_cast<const char*>(at(payload)), 4);
                payload += 4;
                payloadLen -= 4;
            }
        }
        uint64_t consumed = 0;
        while (consumed < payloadLen) {
            Atom::Ptr child = read(ctx, payload + consumed, payloadLen - consumed, level + 1, type);
            if (!child) return child;
            consumed += child->fOriginalLen;
            atom->fChildren.push_back(std::move(child));
        }
        return atom;
    }

    if (opaque) {
        // Audio and other top-level leaves stay in the file, unread.
        atom->fOpaque = true;
        atom->fDataOffset = payload;
        atom->fDataLen = payloadLen;
        return atom;
    }
    if ((type == kStco || type == kCo64) && parentType == kStbl) {
        const uint64_t entry = type == kStco ? 4 : 8;
        if (payloadLen < 8) return fail(QStringLiteral("'%1' cut off").arg(fourcc(type)));
        const uint64_t count = be32(at(payload) + 4);
        if (count > (payloadLen - 8) / entry)
            return fail(QStringLiteral("'%1' lists %2 chunks that its size cannot hold")
                            .arg(fourcc(type))
                            .arg(count));
    }
    atom->fContents = QByteArray(reinterpret_cast<const char*>(at(payload)), qsizetype(payloadLen));
    return atom;
}
