#include "media/AtomParser.h"

#include "media/AtomReader.h"
#include "media/BigEndian.h"
#include "media/ChunkMap.h"
#include "media/DataAtom.h"
#include "media/FileIO.h"
#include "system/Durable.h"
#include "system/Log.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace AtomTypes;

namespace {

std::atomic<int64_t> gFailNewFileAfter{-1};

// The growth given to "moov" by a whole-file rewrite, so that the next few
// saves fit in place.
constexpr uint64_t kRewritePadding = 2048;
constexpr size_t kCopyChunk = 1 << 20;
// Chunks whose first and last bytes are compared after a rewrite, spread
// over the file; every chunk's offset and length are compared in full.
// Every offset must have moved with its audio, which a wide sample
// confirms. All chunks of a song are a few hundred; a long file's would
// cost more than the copy.
constexpr size_t kCheckedChunks = 4096;
// Far beyond any real movie header (a few MB for hours of audio); stops a
// forged size from costing that much memory.
constexpr uint64_t kMaxMoovLen = uint64_t(1) << 30;

void collectChunkTables(Atom* atom, std::vector<Atom*>& out) {
    if (atom->markedForDeletion()) return;
    if (atom->type() == kStco || atom->type() == kCo64) out.push_back(atom);
    for (auto& c : atom->children())
        collectChunkTables(c.get(), out);
}

Atom* firstPadding(Atom* atom) {
    if (atom->markedForDeletion()) return nullptr;
    if (atom->type() == kFree) return atom;
    for (auto& c : atom->children())
        if (Atom* hit = firstPadding(c.get())) return hit;
    return nullptr;
}

// Where `target` starts in the bytes `root` writes with the padding going
// to `carrier`; false when it is not among them.
bool offsetInDump(const Atom* a, const Atom* target, const Atom* carrier, uint64_t padding,
                  uint64_t& at) {
    if (a == target) return true;
    if (a->markedForDeletion()) return false;
    if (a->type() == kFree || a->type() == kSkip) {
        if (a == carrier) at += padding;
        return false;
    }
    if (a->children().empty()) {
        at += a->minAtomSize();
        return false;
    }
    at += uint64_t(a->hasLargeHeader() ? 16 : 8) + a->contentsSize();
    for (const auto& c : a->children())
        if (offsetInDump(c.get(), target, carrier, padding, at)) return true;
    return false;
}

// The first "free" atom written after `ilst`'s subtree.
Atom* paddingAfter(Atom* a, const Atom* ilst, bool& passed) {
    if (a->markedForDeletion()) return nullptr;
    if (passed && a->type() == kFree) return a;
    if (a == ilst) {
        passed = true;
        return nullptr;
    }
    for (const auto& c : a->children())
        if (Atom* hit = paddingAfter(c.get(), ilst, passed)) return hit;
    return nullptr;
}

// The first child of `type` among the atoms in bytes [from, to) of `p`,
// as (offset, length); false when there is none or a size is unusual.
bool childAt(const QByteArray& p, uint64_t from, uint64_t to, uint32_t type, uint64_t& at,
             uint64_t& len) {
    while (from + 8 <= to) {
        const auto* head = reinterpret_cast<const uint8_t*>(p.constData()) + from;
        const uint64_t size = be32(head);
        if (size < 8 || size > to - from) return false;
        if (be32(head + 4) == type) {
            at = from;
            len = size;
            return true;
        }
        from += size;
    }
    return false;
}

// Where the "covr" item lies in the movie header bytes `moov`, relative to
// their start; false when it is not on the usual path with 32-bit sizes.
bool coverInBytes(const QByteArray& moov, uint64_t& at, uint64_t& len) {
    const auto* p = reinterpret_cast<const uint8_t*>(moov.constData());
    const uint64_t size = uint64_t(moov.size());
    if (size < 8 || be32(p) != size) return false;
    uint64_t udta = 0, udtaLen = 0, meta = 0, metaLen = 0, ilst = 0, ilstLen = 0;
    if (!childAt(moov, 8, size, kUdta, udta, udtaLen) ||
        !childAt(moov, udta + 8, udta + udtaLen, kMeta, meta, metaLen) || metaLen < 16)
        return false;
    // The version-and-flags word, unless "hdlr" follows the header directly.
    const uint64_t children = be32(p + meta + 12) == kHdlr ? meta + 8 : meta + 12;
    return childAt(moov, children, meta + metaLen, kIlst, ilst, ilstLen) &&
           childAt(moov, ilst + 8, ilst + ilstLen, kCovr, at, len);
}

void appendFree(QByteArray& out, uint64_t size) {
    appendBe32(out, uint32_t(size));
    appendBe32(out, kFree);
    out.append(qsizetype(size - 8), '\0');
}

// "moov" laid out with "covr" first in "ilst" and a "free" atom of `before`
// bytes right before "ilst", so that the cover stays where it lies; the
// rest of the padding (`after`) goes to `carrier`, or without one to a new
// "free" atom after "ilst".
struct CoverPin {
    const Atom *moov, *udta, *meta, *ilst, *covr;
    uint64_t before = 0, after = 0;
    const Atom* carrier = nullptr;
    uint64_t covrAt = 0; // where the cover was written, relative to "moov"

    bool dump(const Atom* a, QByteArray& out) {
        if (a != moov && a != udta && a != meta && a != ilst) {
            if (a == covr) covrAt = uint64_t(out.size());
            return a->dumpAtom(out, carrier, carrier ? after : 0);
        }
        if (a->markedForDeletion() || a->hasLargeHeader() || a->contentsInFile()) return false;
        const qsizetype start = out.size();
        out.append(8, '\0');
        qToBigEndian(a->type(), reinterpret_cast<uchar*>(out.data() + start + 4));
        out.append(a->contents());
        if (a == ilst && !dump(covr, out)) return false;
        for (const auto& c : a->children()) {
            if (c.get() == covr) continue;
            if (c.get() == ilst && before != 0) appendFree(out, before);
            if (!dump(c.get(), out)) return false;
            if (c.get() == ilst && !carrier && after != 0) appendFree(out, after);
        }
        const uint64_t written = uint64_t(out.size() - start);
        if (written > 0xFFFFFFFFu) return false;
        qToBigEndian(uint32_t(written), reinterpret_cast<uchar*>(out.data() + start));
        return true;
    }
};

// "moov" laid out so that a large cover keeps its place in the file, when
// the usual layout (all padding in one carrier) would move it: an unchanged
// cover then costs neither a rollback copy nor a write. Empty when the
// usual layout keeps it, or the sizes do not allow it.
QByteArray keepCoverInPlace(Atom* moov, const QByteArray& old) {
    constexpr uint64_t kLargeCover = 4096;
    const uint64_t size = uint64_t(old.size());
    uint64_t covrAt = 0, covrLen = 0;
    if (moov->hasLargeHeader() || !coverInBytes(old, covrAt, covrLen) || covrLen <= kLargeCover)
        return {};
    CoverPin pin;
    pin.moov = moov;
    pin.udta = moov->findChild(kUdta);
    pin.meta = pin.udta ? pin.udta->findChild(kMeta) : nullptr;
    pin.ilst = pin.meta ? pin.meta->findChild(kIlst) : nullptr;
    pin.covr = pin.ilst ? pin.ilst->findChild(kCovr) : nullptr;
    if (!pin.covr || pin.covr->minAtomSize() != covrLen) return {};
    const uint64_t minSize = moov->minAtomSize();
    if (minSize > size) return {};
    uint64_t usual = 0;
    if (offsetInDump(moov, pin.covr, firstPadding(moov), size - minSize, usual) && usual == covrAt)
        return {};
    uint64_t ilstAt = 0;
    if (!offsetInDump(moov, pin.ilst, nullptr, 0, ilstAt) || covrAt < ilstAt + 8) return {};
    pin.before = covrAt - 8 - ilstAt;
    if (pin.before > size - minSize) return {};
    pin.after = size - minSize - pin.before;
    // A "free" atom is 0 or at least its 8-byte header.
    if ((pin.before != 0 && pin.before < 8) || (pin.after != 0 && pin.after < 8) ||
        pin.before > 0xFFFFFFFFu || pin.after > 0xFFFFFFFFu)
        return {};
    bool passed = false;
    pin.carrier = paddingAfter(moov, pin.ilst, passed);
    QByteArray out;
    out.reserve(qsizetype(size));
    if (!pin.dump(moov, out) || uint64_t(out.size()) != size || pin.covrAt != covrAt) return {};
    return out;
}

constexpr uint32_t kEdts = atomType("edts");
constexpr uint32_t kDinf = atomType("dinf");
constexpr uint32_t kTref = atomType("tref");
constexpr uint32_t kFtyp = atomType("ftyp");

// Atoms whose payload is a list of atoms, wherever they stand in "moov".
bool holdsAtoms(uint32_t type) {
    switch (type) {
    case kTrak:
    case kMdia:
    case kMinf:
    case kStbl:
    case kEdts:
    case kDinf:
    case kMvex:
    case kTref:
        return true;
    default:
        return false;
    }
}

// The one container an atom the save relies on may stand in; 0 for others.
uint32_t requiredParent(uint32_t type) {
    switch (type) {
    case kTrak:
        return kMoov;
    case kMdia:
        return kTrak;
    case kMinf:
        return kMdia;
    case kStbl:
        return kMinf;
    case kStco:
    case kCo64:
    case kStsc:
    case kStsz:
    case kStz2:
        return kStbl;
    default:
        return 0;
    }
}

// The sample tables of every track, in order: equal tables, equal chunks.
std::vector<QByteArray> sampleTables(const Atom* moov) {
    std::vector<QByteArray> out;
    for (const auto& trak : moov->children()) {
        if (trak->type() != kTrak || trak->markedForDeletion()) continue;
        const Atom* mdia = trak->findChild(kMdia);
        const Atom* minf = mdia ? mdia->findChild(kMinf) : nullptr;
        const Atom* stbl = minf ? minf->findChild(kStbl) : nullptr;
        if (!stbl) continue;
        for (const auto& table : stbl->children())
            if (requiredParent(table->type()) == kStbl) out.push_back(table->contents());
    }
    return out;
}

// A walk of every container in "moov" (the parser itself descends only the
// metadata path and the sample tables): each must be filled exactly by its
// children, and each track must hold its media, media information, sample
// table and one chunk offset table where the save looks for them. A size
// that is 8 bytes too large, say, hides the next atom inside its neighbour.
class LayoutWalk {
public:
    QString problem;

    bool walk(const uint8_t* p, uint64_t len, uint32_t parent, int depth) {
        if (depth > 16) return fail(QStringLiteral("atoms nested too deeply"));
        int media = 0, information = 0, tables = 0, offsets = 0;
        for (uint64_t pos = 0; pos < len;) {
            const uint64_t left = len - pos;
            if (left < 8)
                return fail(QStringLiteral("%1 stray bytes at the end of '%2'")
                                .arg(left)
                                .arg(fourcc(parent)));
            uint64_t size = be32(p + pos);
            const uint32_t type = be32(p + pos + 4);
            uint64_t header = 8;
            if (size == 0)
                return fail(QStringLiteral("'%1' inside '%2' has the size 0")
                                .arg(fourcc(type), fourcc(parent)));
            if (size == 1) {
                if (left < 16) return fail(QStringLiteral("a 64-bit size cut off"));
                size = qFromBigEndian<uint64_t>(p + pos + 8);
                header = 16;
            }
            if (size < header)
                return fail(QStringLiteral("'%1' has the size %2").arg(fourcc(type)).arg(size));
            if (size > left)
                return fail(QStringLiteral("'%1' runs %2 bytes past the end of '%3'")
                                .arg(fourcc(type))
                                .arg(size - left)
                                .arg(fourcc(parent)));
            const uint32_t home = requiredParent(type);
            if (home != 0 && home != parent)
                return fail(QStringLiteral("'%1' inside '%2'").arg(fourcc(type), fourcc(parent)));
            media += type == kMdia;
            information += type == kMinf;
            tables += type == kStbl;
            offsets += type == kStco || type == kCo64;
            if (holdsAtoms(type) && !walk(p + pos + header, size - header, type, depth + 1))
                return false;
            pos += size;
        }
        if ((parent == kTrak && media != 1) || (parent == kMdia && information != 1) ||
            (parent == kMinf && tables != 1) || (parent == kStbl && offsets != 1))
            return fail(QStringLiteral("'%1' without exactly one '%2'")
                            .arg(fourcc(parent), parent == kTrak   ? QStringLiteral("mdia")
                                                 : parent == kMdia ? QStringLiteral("minf")
                                                 : parent == kMinf ? QStringLiteral("stbl")
                                                                   : QStringLiteral("stco")));
        return true;
    }

private:
    bool fail(const QString& why) {
        if (problem.isNull()) problem = why;
        return false;
    }
};

// Why "moov" would not read soundly once `block` lies at `moovAt` in place
// of the old one, of the same size; null when it would, with `tables` its
// sample tables. What an in-place write leaves on disk is these bytes,
// once each changed one reads back.
QString checkNewMoov(const QByteArray& block, uint64_t moovAt, std::vector<QByteArray>& tables) {
    AtomParseContext ctx;
    ctx.base = reinterpret_cast<const uint8_t*>(block.constData());
    ctx.baseOffset = moovAt;
    ctx.available = uint64_t(block.size());
    const Atom::Ptr moov = AtomReader::read(ctx, moovAt, uint64_t(block.size()), 0, 0);
    if (!moov) return QStringLiteral("it could not be parsed: %1").arg(ctx.error);
    if (moov->type() != kMoov || moov->originalLen() != uint64_t(block.size()) ||
        moov->sizeReadsZero())
        return QStringLiteral("its movie header changed size");
    const int header = moov->hasLargeHeader() ? 16 : 8;
    LayoutWalk walk;
    walk.walk(ctx.base + header, uint64_t(block.size() - header), kMoov, 1);
    if (!walk.problem.isNull()) return walk.problem;
    tables = sampleTables(moov.get());
    return {};
}

// The sample tables of minutes of audio take tens of kilobytes a file, and
// nothing reads them once the chunk map is made: those this long are left
// in the file, and a save lends them back from the header it reads.
constexpr uint64_t kTableInFileFrom = 4096;

void leaveSampleTablesInFile(Atom* atom) {
    for (const auto& child : atom->children()) {
        Atom* c = child.get();
        if (atom->type() == kStbl && c->children().empty() && !c->contentsInFile() &&
            c->contentsSize() >= kTableInFileFrom)
            c->leaveContentsInFile(c->originalOffset() + (c->hasLargeHeader() ? 16 : 8));
        else
            leaveSampleTablesInFile(c);
    }
}

} // namespace

void AtomParser::setFailNewFileAfter(int64_t bytes) {
    gFailNewFileAfter = bytes;
}

AtomParser::Parsed AtomParser::newAtomParser(const QString& path) {
    std::unique_ptr<AtomParser> parser(new AtomParser(path));
    Outcome parsed = parser->openAndParse();
    if (!parsed.ok()) {
        TROVIX_LOG() << "Not an MPEG-4 file we can read:" << path << "-" << parsed.reason;
        return {nullptr, std::move(parsed)};
    }
    return {std::move(parser), std::move(parsed)};
}

AtomParser::~AtomParser() {
    closeFile();
}

std::unique_ptr<AtomParser> AtomParser::copyAsOpened() const {
    std::unique_ptr<AtomParser> copy(new AtomParser(fPath));
    copy->fFileLen = fFileLen;
    copy->fAtoms.reserve(fAtoms.size());
    for (const Atom::Ptr& atom : fAtoms)
        copy->fAtoms.push_back(atom->deepCopy());
    copy->fStat = fStat;
    copy->fLayoutProblem = fLayoutProblem;
    // A value: the chunks do not change in place.
    copy->fChunks = fChunks;
    return copy;
}

void AtomParser::closeFile() {
    if (fFileDescr >= 0) ::close(fFileDescr); // also releases the lock
    fFileDescr = -1;
}

Outcome AtomParser::openAndParse() {
    // The file is open only while it is read or written: a folder of a
    // thousand songs must not hold a thousand descriptors.
    struct Closer {
        AtomParser* p;
        ~Closer() { p->closeFile(); }
    } closer{this};
    const QByteArray native = QFile::encodeName(fPath);
    // Non-blocking so that a FIFO named like a music file cannot hang us (the
    // flag changes nothing for a regular file's reads).
    fFileDescr = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fFileDescr < 0)
        return Outcome::failed(errno == EISDIR ? QStringLiteral("it is a folder")
                                               : Durable::errnoText(errno));
    if (::fstat(fFileDescr, &fStat) != 0) return Outcome::failed(Durable::errnoText(errno));
    if (!S_ISREG(fStat.st_mode))
        return Outcome::failed(S_ISDIR(fStat.st_mode) ? QStringLiteral("it is a folder")
                                                      : QStringLiteral("it is not a regular file"));
    // Not read while another writer holds it, when we can help it; a file
    // changed meanwhile is caught before it is written.
    ::flock(fFileDescr, LOCK_EX | LOCK_NB);

    fFileLen = uint64_t(fStat.st_size);
    if (fFileLen == 0) return Outcome::failed(QStringLiteral("the file is empty"));

    // Only the atom headers and "moov" are read. Mapping the file instead
    // costs page faults that made opening a folder several times slower.
    AtomParseContext ctx;
    fAtoms.clear();
    fLayoutProblem.clear();
    QByteArray moovBytes; // the first "moov", for the layout check
    uint64_t offset = 0;
    while (offset < fFileLen) {
        const uint64_t left = fFileLen - offset;
        uint8_t header[16];
        const size_t headerLen = size_t(std::min<uint64_t>(left, sizeof header));
        if (!FileIO::readAt(fFileDescr, reinterpret_cast<char*>(header), headerLen, offset))
            return Outcome::failed(Durable::errnoText(errno));
        ctx.base = header;
        ctx.baseOffset = offset;
        ctx.available = headerLen;
        QByteArray whole;
        if (headerLen >= 8 && qFromBigEndian<uint32_t>(header + 4) == kMoov) {
            uint64_t size = qFromBigEndian<uint32_t>(header);
            if (size == 0) size = left;
            if (size == 1 && headerLen >= 16) size = qFromBigEndian<uint64_t>(header + 8);
            if (size >= 8 && size <= left) { // else the parse below says why
                if (size > kMaxMoovLen)
                    return Outcome::failed(QStringLiteral("a movie header of %1 bytes").arg(size));
                whole.resize(qsizetype(size));
                if (!FileIO::readAt(fFileDescr, whole.data(), size_t(size), offset))
                    return Outcome::failed(Durable::errnoText(errno));
                ctx.base = reinterpret_cast<const uint8_t*>(whole.constData());
                ctx.available = size;
                if (moovBytes.isNull()) moovBytes = whole;
            }
        }
        Atom::Ptr atom = AtomReader::read(ctx, offset, left, 0, 0);
        if (!atom) {
            fAtoms.clear();
            return Outcome::failed(ctx.error);
        }
        offset += atom->originalLen();
        fAtoms.push_back(std::move(atom));
    }
    if (!moovAtom()) {
        fAtoms.clear();
        return Outcome::failed(QStringLiteral("no 'moov' atom"));
    }
    // Read for display all the same; only writing is refused.
    fLayoutProblem = checkLayout(moovBytes);
    if (!fLayoutProblem.isNull())
        TROVIX_LOG() << "Atom sizes of" << fPath << "do not add up:" << fLayoutProblem;
    for (auto& a : fAtoms)
        if (a->type() == kMoov) leaveSampleTablesInFile(a.get());
    return Outcome::done();
}

namespace {

void collectInFile(Atom* atom, std::vector<Atom*>& out) {
    if (atom->contentsInFile()) out.push_back(atom);
    for (auto& c : atom->children())
        collectInFile(c.get(), out);
}

// The atoms whose contents are lent to the tree while a plan lays out a new
// "moov". Each leaves it again, to be read from the file where it lies, so
// that neither the plan nor the file object keeps a copy of a folder's
// pictures and sample tables (a thousand files held a thousand covers until
// the save ended).
class Loans {
public:
    Loans() = default;
    Loans(const Loans&) = delete;
    Loans& operator=(const Loans&) = delete;
    // Unless ended before: the plan was refused and the file stays as it is.
    ~Loans() { end(); }

    std::vector<Atom*> atoms;

    // Once "moov" is laid out as a whole new file: until that file replaces
    // this one, which is read again then, all lies where it did.
    void end() {
        for (Atom* atom : atoms)
            atom->leaveContentsInFile(atom->contentsAt());
        atoms.clear();
    }
    // Before `block` is written in place of "moov" at `moovAt`: contents it
    // keeps where they lay stay in the file, as do those outside "moov";
    // contents it moves keep a copy of their own, for the tree describes
    // the written file.
    void endInPlace(const QByteArray& block, uint64_t moovAt) {
        const uint64_t moovEnd = moovAt + uint64_t(block.size());
        for (Atom* atom : atoms) {
            const QByteArray& bytes = atom->contents();
            const uint64_t at = atom->contentsAt();
            const uint64_t end = at + uint64_t(bytes.size());
            const bool outside = end <= moovAt || at >= moovEnd;
            const bool kept = at >= moovAt && end <= moovEnd &&
                              QByteArrayView(block).sliced(qsizetype(at - moovAt), bytes.size()) ==
                                  QByteArrayView(bytes);
            if (outside || kept)
                atom->leaveContentsInFile(at);
            else
                atom->setContents(QByteArray(bytes.constData(), bytes.size()));
        }
        atoms.clear();
    }
};

// The movie header a cover comparison read, kept on its thread for the plan
// that follows it there: a save compares each file's cover with the new one
// just before it plans the file's write, which reads the whole header too.
// Known by the file's identity, its change time included, which no program
// sets at will.
struct KeptMoov {
    struct stat seen {};
    uint64_t at = 0;
    QByteArray bytes;
};

// Larger headers (of hours of audio) are not kept.
constexpr uint64_t kKeptMoovMax = 16 << 20;

KeptMoov& keptMoov() {
    thread_local KeptMoov kept;
    return kept;
}

bool sameState(const struct stat& a, const struct stat& b) {
    return FileIO::sameFile(a, b) && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The kept header, when it is the one at `at`, `length` bytes long, of the
// file in the state `seen`; null otherwise. Either way nothing stays kept.
QByteArray takeKeptMoov(const struct stat& seen, uint64_t at, uint64_t length) {
    KeptMoov& kept = keptMoov();
    QByteArray bytes = std::exchange(kept.bytes, {});
    if (kept.at != at || uint64_t(bytes.size()) != length || !sameState(kept.seen, seen)) return {};
    return bytes;
}

} // namespace

int AtomParser::openUnchanged() const {
    const int fd = FileIO::openAsOpened(QFile::encodeName(fPath), fStat);
    if (fd < 0) TROVIX_LOG() << "Picture not read, the file changed since it was opened:" << fPath;
    return fd;
}

QByteArray AtomParser::readInFile(const Atom& atom) const {
    if (!atom.contentsInFile()) return atom.contents();
    const FileIO::ClosedAtExit file{openUnchanged()};
    if (file.fd < 0) return {};
    QByteArray bytes(qsizetype(atom.contentsSize()), Qt::Uninitialized);
    if (!FileIO::readAt(file.fd, bytes.data(), size_t(bytes.size()), atom.contentsAt())) return {};
    return bytes;
}

bool AtomParser::inFileHolds(const Atom& atom, const QByteArray& bytes) const {
    if (!atom.contentsInFile()) return atom.contents() == bytes;
    if (uint64_t(bytes.size()) != atom.contentsSize()) return false;
    const FileIO::ClosedAtExit file{openUnchanged()};
    if (file.fd < 0) return false;
    // Inside "moov", which the plan of a save reads next: it is read whole,
    // once, and kept for that plan.
    const Atom* moov = moovAtom();
    const uint64_t at = atom.contentsAt();
    KeptMoov& kept = keptMoov();
    kept.bytes.clear(); // whatever happens, an earlier header is not kept
    if (moov && moov->originalLen() <= kKeptMoovMax && at >= moov->originalOffset() &&
        at - moov->originalOffset() + uint64_t(bytes.size()) <= moov->originalLen() &&
        ::fstat(file.fd, &kept.seen) == 0) {
        kept.at = moov->originalOffset();
        kept.bytes = QByteArray(qsizetype(moov->originalLen()), Qt::Uninitialized);
        if (!FileIO::readAt(file.fd, kept.bytes.data(), size_t(kept.bytes.size()), kept.at)) {
            kept.bytes.clear(); // not the header: never offered to a plan
            return false;
        }
        return QByteArrayView(kept.bytes).sliced(qsizetype(at - kept.at), bytes.size()) == bytes;
    }
    return FileIO::holdsAt(file.fd, bytes, at);
}

bool AtomParser::lendInFile(int fd, const QByteArray& moov, uint64_t moovAt,
                            std::vector<Atom*>& lent) {
    std::vector<Atom*> atoms;
    for (auto& a : fAtoms)
        collectInFile(a.get(), atoms);
    for (Atom* atom : atoms) {
        const uint64_t at = atom->contentsAt(), length = atom->contentsSize();
        if (at >= moovAt && at - moovAt <= uint64_t(moov.size()) &&
            length <= uint64_t(moov.size()) - (at - moovAt)) {
            atom->setContents(
                QByteArray::fromRawData(moov.constData() + (at - moovAt), qsizetype(length)));
            lent.push_back(atom);
            continue;
        }
        QByteArray bytes(qsizetype(length), Qt::Uninitialized);
        if (!FileIO::readAt(fd, bytes.data(), size_t(bytes.size()), at)) return false;
        atom->setContents(bytes);
        lent.push_back(atom);
    }
    return true;
}

Atom* AtomParser::find(uint32_t type) const {
    for (auto& a : fAtoms)
        if (Atom* hit = a->find(type)) return hit;
    return nullptr;
}

Atom* AtomParser::moovAtom() const {
    for (auto& a : fAtoms)
        if (a->type() == kMoov) return a.get();
    return nullptr;
}

QString AtomParser::whyNotWritable() const {
    if (fAtoms.empty()) return QStringLiteral("The file could not be read again after saving.");
    int moovs = 0;
    for (auto& a : fAtoms) {
        if (a->type() == kMoof)
            return QStringLiteral("The file is a fragmented MPEG-4 file, which cannot be "
                                  "saved safely.");
        if (a->type() == kMoov) ++moovs;
    }
    if (moovs != 1) return QStringLiteral("The file holds more than one movie header.");
    if (moovAtom()->findChild(kMvex))
        return QStringLiteral("The file is a fragmented MPEG-4 file, which cannot be saved "
                              "safely.");
    if (!fLayoutProblem.isNull())
        return QStringLiteral("The file's atom sizes do not add up (%1); saving it could destroy "
                              "its audio, so it was left as it was.")
            .arg(fLayoutProblem);
    return {};
}

QString AtomParser::checkLayout(const QByteArray& moovBytes) {
    Atom* moov = moovAtom();
    fChunks.reset();
    if (moov->sizeReadsZero())
        for (auto& c : moov->children())
            if (c->type() == kMdat || c->type() == kMoov || c->type() == kFtyp ||
                c->type() == kMoof)
                return QStringLiteral("'moov' has the size 0, which takes in the '%1' after it")
                    .arg(c->typeName());
    const int header = moov->hasLargeHeader() ? 16 : 8;
    if (moovBytes.size() >= header) {
        LayoutWalk walk;
        walk.walk(reinterpret_cast<const uint8_t*>(moovBytes.constData()) + header,
                  uint64_t(moovBytes.size() - header), kMoov, 1);
        if (!walk.problem.isNull()) return walk.problem;
    }
    fChunks = std::make_shared<const ChunkMap>(moov);
    const ChunkMap& map = *fChunks;
    if (!map.problem().isNull()) return map.problem();
    // Every chunk lies in the audio data; a chunk elsewhere means the tree
    // was read with the wrong sizes.
    std::vector<std::pair<uint64_t, uint64_t>> media;
    for (auto& a : fAtoms)
        if (a->type() == kMdat) media.emplace_back(a->dataOffset(), a->dataOffset() + a->dataLen());
    const auto& chunks = map.chunks();
    for (size_t i = 0; i < chunks.size(); ++i) {
        const ChunkMap::Chunk& c = chunks[i];
        const bool inside = std::any_of(media.begin(), media.end(), [&c](const auto& m) {
            return c.offset >= m.first && c.offset <= m.second && c.length <= m.second - c.offset;
        });
        if (!inside)
            return QStringLiteral("chunk %1 at offset %2 lies outside the audio data")
                .arg(i)
                .arg(c.offset);
    }
    return {};
}

// The one "free" atom inside "moov" that takes the padding; the others are
// left out when "moov" is written. Without one, a new one is added at the
// end of "moov".
Atom* AtomParser::paddingCarrier(bool create) {
    Atom* moov = moovAtom();
    if (Atom* carrier = firstPadding(moov)) return carrier;
    if (!create) return nullptr;
    auto free = std::make_shared<Atom>(kFree);
    Atom* raw = free.get();
    moov->addChild(std::move(free));
    return raw;
}

SavePlan AtomParser::planSave() {
    const QString why = whyNotWritable();
    if (!why.isNull()) return SavePlan::refused(why);
    const QString target = FileIO::saveTarget(fPath);
    if (target.isEmpty()) return SavePlan::refused(QStringLiteral("The file is no longer there."));
    const QByteArray native = QFile::encodeName(target);
    if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
        return SavePlan::refused(FileIO::whyNotOpened(errno));
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return SavePlan::refused(FileIO::whyNotOpened(errno));
    const FileIO::ClosedAtExit closer{fd};
    SavePlan plan;
    plan.target = target;
    if (::fstat(fd, &plan.seen) != 0 || !FileIO::sameFile(plan.seen, fStat))
        return SavePlan::refused(QStringLiteral("The file was changed by another program since it "
                                                "was opened; open it again before saving."));

    Atom* moov = moovAtom();
    const uint64_t moovAt = moov->originalOffset();
    const uint64_t oldSize = moov->originalLen();
    // "moov" as it lies on disk: what an in-place write changes, and where
    // the pictures left in the file are. Read by the cover's comparison,
    // when that came just before.
    QByteArray old = takeKeptMoov(plan.seen, moovAt, oldSize);
    if (old.isNull()) {
        old = QByteArray(qsizetype(oldSize), Qt::Uninitialized);
        if (!FileIO::readAt(fd, old.data(), size_t(oldSize), moovAt))
            return SavePlan::refused(
                QStringLiteral("The file could not be read: %1.").arg(Durable::errnoText(errno)));
    }
    // After `old`, whose bytes the contents left in the file are lent as, so
    // that a refused plan lets go of them first.
    Loans loans;
    if (!lendInFile(fd, old, moovAt, loans.atoms))
        return SavePlan::refused(
            QStringLiteral("The file could not be read: %1.").arg(Durable::errnoText(errno)));
    QByteArray block = keepCoverInPlace(moov, old);
    const uint64_t minSize = moov->minAtomSize();
    const uint64_t padding = minSize <= oldSize ? oldSize - minSize : 0;
    if (block.isEmpty() && minSize <= oldSize && (padding == 0 || padding >= 8))
        block = moov->buildModifiedAtom(oldSize, paddingCarrier(padding != 0));

    const std::shared_ptr<const ChunkMap> before = fChunks;
    if (!block.isEmpty()) {
        // In place: only the changed bytes of "moov" are written, and every
        // chunk lies in "mdat" (the opening checked), apart from it. So no
        // chunk can move, and only a write gone astray could reach the
        // audio: where it would land first, next to "moov", the outermost
        // chunks must read back the same. What lands on disk is `block`:
        // it is parsed here, and the check reads back the changed bytes.
        std::vector<QByteArray> tables;
        const QString unsound = checkNewMoov(block, moovAt, tables);
        if (!unsound.isNull() || tables != sampleTables(moov)) {
            TROVIX_LOG() << "The new movie header of" << fPath << "would not read back:"
                         << (unsound.isNull() ? QStringLiteral("its sample tables differ")
                                              : unsound);
            return SavePlan::refused(QStringLiteral("The tags could not be laid out for writing."));
        }
        loans.endInPlace(block, moovAt);
        plan.addChangedBytes(moovAt, std::move(old), std::move(block));
        if (plan.regions.empty()) return plan; // Nothing
        for (const SaveRegion& r : plan.regions)
            if (r.offset < moovAt || uint64_t(r.bytes.size()) > oldSize - (r.offset - moovAt))
                return SavePlan::refused(
                    QStringLiteral("The tags could not be laid out for writing."));
        plan.kind = SavePlan::Kind::InPlace;
        plan.newSize = fFileLen;
        const ChunkMap::Fingerprint taken = before->fingerprintOutermost(fd);
        if (!taken.outcome.ok())
            return SavePlan::refused(QStringLiteral("The file's audio could not be read (%1).")
                                         .arg(taken.outcome.reason));
        plan.verify = [before, print = taken.print, regions = plan.regions,
                       size = fFileLen](const QString& path) -> QString {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return Durable::errnoText(errno);
            const FileIO::ClosedAtExit closer{fd};
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) != size)
                return QStringLiteral("its size changed");
            for (const SaveRegion& r : regions)
                if (!FileIO::holdsAt(fd, r.bytes, r.offset))
                    return QStringLiteral("its tags do not read back as written");
            const ChunkMap::Fingerprint now = before->fingerprintOutermost(fd);
            if (!now.outcome.ok()) return now.outcome.reason;
            if (now.print != print) return QStringLiteral("its audio changed");
            return {};
        };
        plan.finish = [this](bool saved) { saveFinished(saved, false); };
        return plan;
    }

    // A whole new file: "moov" grows, with padding for the next saves, and
    // every chunk after it moves by as much.
    Atom* carrier = paddingCarrier(true);
    const uint64_t newSize = moov->minAtomSize() + kRewritePadding;
    const int64_t delta = int64_t(newSize) - int64_t(oldSize);
    const uint64_t moovEnd = moovAt + oldSize;
    if (!fixUpStcoAtom(moovEnd, delta))
        return SavePlan::refused(QStringLiteral("The tags do not fit: the audio would have to move "
                                                "past 4 GiB, which this file's chunk table cannot "
                                                "express."));
    block = moov->buildModifiedAtom(newSize, carrier);
    // The tree keeps the offsets of the file on disk until that file is
    // replaced and read again.
    undoStcoFixUp();
    loans.end();
    if (block.isEmpty())
        return SavePlan::refused(QStringLiteral("The tags could not be laid out for writing."));
    const ChunkMap::Fingerprint taken = before->fingerprint(fd, kCheckedChunks);
    if (!taken.outcome.ok())
        return SavePlan::refused(
            QStringLiteral("The file's audio could not be read (%1).").arg(taken.outcome.reason));
    const QByteArray print = taken.print;

    struct Piece {
        bool isMoov;
        uint64_t offset, length;
    };
    std::vector<Piece> pieces;
    for (auto& atom : fAtoms)
        pieces.push_back({atom->type() == kMoov, atom->originalOffset(), atom->originalLen()});
    plan.kind = SavePlan::Kind::Rewrite;
    plan.newSize = uint64_t(int64_t(fFileLen) + delta);
    plan.heldBytes = block.size();
    plan.writeNew = [pieces, block](int in, int out) {
        const int64_t failAfter = gFailNewFileAfter;
        uint64_t written = 0;
        auto put = [&](const char* p, size_t n) {
            if (failAfter >= 0 && written + n > uint64_t(failAfter)) {
                errno = ENOSPC;
                return false;
            }
            written += n;
            return Durable::writeAll(out, p, n);
        };
        std::vector<char> buffer;
        for (const Piece& piece : pieces) {
            if (piece.isMoov) {
                if (!put(block.constData(), size_t(block.size())))
                    return SavePlan::notWritten(errno);
                continue;
            }
            // Everything else is copied as it lies in the file, audio included.
            buffer.resize(size_t(std::min<uint64_t>(piece.length, kCopyChunk)));
            for (uint64_t left = piece.length, from = piece.offset; left > 0;) {
                const size_t n = size_t(std::min<uint64_t>(left, kCopyChunk));
                if (!FileIO::readAt(in, buffer.data(), n, from) || !put(buffer.data(), n))
                    return SavePlan::notWritten(errno);
                left -= n;
                from += n;
            }
        }
        return Outcome::done();
    };
    plan.verify = [before, print, moovEnd, delta](const QString& path) -> QString {
        const Parsed written = newAtomParser(path);
        if (!written.parser)
            return QStringLiteral("it could not be parsed: %1").arg(written.outcome.reason);
        const std::unique_ptr<AtomParser>& parser = written.parser;
        if (!parser->fLayoutProblem.isNull()) return parser->fLayoutProblem;
        const ChunkMap& after = *parser->fChunks;
        const auto& chunks = before->chunks();
        if (after.chunks().size() != chunks.size())
            return QStringLiteral("it lists %1 chunks instead of %2")
                .arg(after.chunks().size())
                .arg(chunks.size());
        for (size_t i = 0; i < chunks.size(); ++i) {
            const ChunkMap::Chunk& was = chunks[i];
            const uint64_t moved =
                was.offset >= moovEnd ? uint64_t(int64_t(was.offset) + delta) : was.offset;
            if (after.chunks()[i] != ChunkMap::Chunk{moved, was.length})
                return QStringLiteral("chunk %1 is not where its audio went").arg(i);
        }
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Durable::errnoText(errno);
        const ChunkMap::Fingerprint now = after.fingerprint(fd, kCheckedChunks);
        ::close(fd);
        if (!now.outcome.ok()) return now.outcome.reason;
        if (now.print != print) return QStringLiteral("its audio changed");
        return {};
    };
    plan.finish = [this](bool saved) { saveFinished(saved, true); };
    return plan;
}

void AtomParser::saveFinished(bool saved, bool rewritten) {
    if (!saved) return;
    if (!rewritten) {
        // The tree already describes what was written; only the file's
        // time and size to check against next time change.
        ::stat(QFile::encodeName(fPath).constData(), &fStat);
        return;
    }
    closeFile();
    fAtoms.clear();
    const Outcome parsed = openAndParse();
    if (!parsed.ok()) {
        TROVIX_LOG() << "The rewritten file" << fPath
                     << "could not be parsed again:" << parsed.reason;
        fAtoms.clear();
    }
}

bool AtomParser::fixUpStcoAtom(uint64_t oldMoovEnd, int64_t delta) {
    fSavedChunkTables.clear();
    std::vector<Atom*> tables;
    for (auto& a : fAtoms)
        if (a->type() == kMoov) collectChunkTables(a.get(), tables);

    std::vector<QByteArray> patched;
    for (Atom* table : tables) {
        QByteArray bytes = table->contents();
        const bool wide = table->type() == kCo64;
        const uint64_t entry = wide ? 8 : 4;
        if (bytes.size() < 8) return false;
        const uint64_t count = qFromBigEndian<uint32_t>(bytes.constData() + 4);
        if (count > (uint64_t(bytes.size()) - 8) / entry) return false;
        char* p = bytes.data() + 8;
        for (uint64_t i = 0; i < count; ++i, p += entry) {
            const uint64_t old = wide ? qFromBigEndian<uint64_t>(p) : qFromBigEndian<uint32_t>(p);
            if (old < oldMoovEnd) continue; // before "moov": does not move
            const uint64_t moved = old + uint64_t(delta);
            if (wide) {
                qToBigEndian(moved, p);
            } else {
                if (moved > 0xFFFFFFFFu) return false;
                qToBigEndian(uint32_t(moved), p);
            }
        }
        patched.push_back(bytes);
    }
    for (size_t i = 0; i < tables.size(); ++i) {
        fSavedChunkTables.emplace_back(tables[i], tables[i]->contents());
        tables[i]->setContents(patched[i]);
    }
    return true;
}

void AtomParser::undoStcoFixUp() {
    for (auto& [table, bytes] : fSavedChunkTables)
        table->setContents(bytes);
    fSavedChunkTables.clear();
}

void AtomParser::print() const {
    QString text = QStringLiteral("\n\nAtom dump for file %1\n").arg(fPath);
    for (auto& a : fAtoms)
        a->print(0, text);
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

void AtomParser::printNew() const {
    QString text = QStringLiteral("\n\nProposed new atom dump for file %1\n").arg(fPath);
    for (auto& a : fAtoms)
        if (!a->markedForDeletion()) a->print(0, text);
    std::fputs(text.toLocal8Bit().constData(), stdout);
}
