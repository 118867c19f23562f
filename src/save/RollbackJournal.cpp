#include "save/RollbackJournal.h"

#include "media/Digest.h"
#include "media/FileIO.h"
#include "system/Durable.h"
#include "system/Log.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The first format held the new bytes of every region; the second names
// the runs of them that the old bytes already hold (a cover moved by a
// longer title) and carries only the rest; the third names each file by its
// plain name in the journal's folder, and the folder by its device and
// inode, where the first two held absolute paths.
// Each format after the first has a name of its own: a build that knows
// only the formats before would take one for a journal cut short and remove
// it, torn files and all.
const QByteArray kMagicV1 = QByteArrayLiteral("TROVIX-ROLLBACK-1");
const QByteArray kMagicV2 = QByteArrayLiteral("TROVIX-ROLLBACK-2");
const QByteArray kMagic = QByteArrayLiteral("TROVIX-ROLLBACK-3");
constexpr const char kPrefixV1[] = ".trovix-tags-";
constexpr const char kPrefixV2[] = ".trovix-rollback-";
constexpr const char kPrefix[] = ".trovix-rollback3-";
constexpr const char kSuffix[] = ".journal";
constexpr int kHashLen = 32;

std::atomic<int> gSequence{0};

// A run of a region's new bytes, now[at, at + length): copied from
// old[from, ...], or carried as it is when `from` is negative.
struct Piece {
    qsizetype at = 0, length = 0, from = -1;
};

// Splits now[begin, end) into runs found in `old` and runs carried as they
// are. A run is looked for by the bytes in the middle of the span; the
// searches are bounded, so a region of wholly new bytes costs a few scans.
class PieceFinder {
public:
    PieceFinder(const QByteArray& old, const QByteArray& now) : fOld(old), fNow(now) {}

    std::vector<Piece> find() {
        split(0, fNow.size(), 0);
        return std::move(fPieces);
    }

private:
    static constexpr qsizetype kAnchor = 64;    // bytes looked for
    static constexpr qsizetype kSmallest = 512; // a shorter span is carried
    static constexpr int kDeepest = 4;
    static constexpr int kSearches = 16;

    void split(qsizetype begin, qsizetype end, int depth) {
        if (end - begin >= kSmallest && depth <= kDeepest && fSearches < kSearches &&
            fOld.size() >= kAnchor) {
            ++fSearches;
            const qsizetype anchor = begin + (end - begin - kAnchor) / 2;
            const char* old = fOld.constData();
            const char* now = fNow.constData();
            if (const void* hit =
                    ::memmem(old, size_t(fOld.size()), now + anchor, size_t(kAnchor))) {
                const qsizetype found = static_cast<const char*>(hit) - old;
                const qsizetype before = std::min(anchor - begin, found);
                const qsizetype back =
                    commonEnd(now + anchor - before, old + found - before, before);
                const qsizetype ahead =
                    kAnchor + commonStart(now + anchor + kAnchor, old + found + kAnchor,
                                          std::min(end - anchor, fOld.size() - found) - kAnchor);
                split(begin, anchor - back, depth + 1);
                fPieces.push_back({anchor - back, back + ahead, found - back});
                split(anchor + ahead, end, depth + 1);
                return;
            }
        }
        if (begin == end) return;
        if (!fPieces.empty() && fPieces.back().from < 0)
            fPieces.back().length += end - begin;
        else
            fPieces.push_back({begin, end - begin, -1});
    }

    const QByteArray& fOld;
    const QByteArray& fNow;
    std::vector<Piece> fPieces;
    int fSearches = 0;
};

// Writes the journal to `fd` as QDataStream would serialize it, followed by
// the SHA-256 of those bytes, without gathering the copies of every file in
// one array first: the fields go into one buffer, the large old and new
// bytes straight from the plans. The hash is taken on a second thread while
// the bytes are written. Files are named by their names in `folder`.
bool writeJournal(int fd, const FolderHandle& folder, const std::vector<const SavePlan*>& plans) {
    // Bytes as QDataStream writes a QByteArray: its length, then the bytes;
    // large ones straight from where they are.
    constexpr qsizetype kInline = 4096;
    // The pieces first, so that the fields' buffer is sized once: growing
    // it moved megabytes on every save of a large folder.
    std::vector<std::vector<Piece>> pieces;
    qsizetype fieldsBound = 64;
    for (const SavePlan* plan : plans) {
        fieldsBound += 64 + 3 * plan->target.size();
        for (const SaveRegion& r : plan->regions) {
            pieces.push_back(PieceFinder(r.old, r.bytes).find());
            fieldsBound += 32 + (r.old.size() < kInline ? r.old.size() : 0);
            for (const Piece& piece : pieces.back())
                fieldsBound += 9 + (piece.from < 0 && piece.length < kInline ? piece.length : 0);
        }
    }
    QByteArray fields;
    fields.reserve(fieldsBound);
    QDataStream out(&fields, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    // The journal in order: runs of `fields` (at, length) and, with
    // `external`, bytes of the plans themselves.
    struct Span {
        qsizetype at = 0, length = 0;
        const char* external = nullptr;
    };
    std::vector<Span> spans;
    qsizetype spanned = 0; // fields up to here are in spans
    auto flush = [&] {
        if (fields.size() == spanned) return;
        spans.push_back({spanned, fields.size() - spanned});
        spanned = fields.size();
    };
    auto putBytes = [&](const char* bytes, qsizetype length) {
        out << quint32(length);
        if (length < kInline) {
            out.writeRawData(bytes, int(length));
            return;
        }
        flush();
        spans.push_back({0, length, bytes});
    };
    out << kMagic << quint64(folder.device()) << quint64(folder.inode()) << quint32(plans.size());
    auto regionPieces = pieces.cbegin();
    for (const SavePlan* plan : plans) {
        out << QFile::encodeName(QFileInfo(plan->target).fileName()) << quint64(plan->seen.st_dev)
            << quint64(plan->seen.st_ino) << quint64(plan->seen.st_size) << quint64(plan->newSize)
            << quint32(plan->regions.size());
        for (const SaveRegion& r : plan->regions) {
            const std::vector<Piece>& found = *regionPieces++;
            out << quint64(r.offset);
            putBytes(r.old.constData(), r.old.size());
            out << quint32(r.bytes.size()) << quint32(found.size());
            for (const Piece& piece : found) {
                if (piece.from >= 0) {
                    out << quint8(1) << quint32(piece.from) << quint32(piece.length);
                    continue;
                }
                out << quint8(0);
                putBytes(r.bytes.constData() + piece.at, piece.length);
            }
        }
    }
    flush();
    if (out.status() != QDataStream::Ok) {
        errno = ENOMEM;
        return false;
    }
    std::vector<QByteArrayView> views;
    views.reserve(spans.size());
    size_t journalBytes = 0;
    for (const Span& span : spans) {
        views.emplace_back(span.external ? span.external : fields.constData() + span.at,
                           span.length);
        journalBytes += size_t(span.length);
    }
    Digest hash(Digest::Kind::Sha256, journalBytes);
    auto hashAll = [&hash, &views] {
        for (const QByteArrayView span : views)
            hash.addData(span.data(), size_t(span.size()));
    };
    std::thread hasher;
    try {
        hasher = std::thread(hashAll);
    } catch (const std::system_error&) {
        hashAll();
    }
    bool ok = true;
    for (const QByteArrayView span : views)
        if (ok) ok = Durable::writeAll(fd, span.data(), size_t(span.size()));
    const int error = errno;
    if (hasher.joinable()) hasher.join();
    errno = error;
    if (!ok) return false;
    const QByteArray sum = hash.result();
    if (sum.size() != kHashLen) {
        errno = EIO;
        return false;
    }
    return Durable::writeAll(fd, sum.constData(), size_t(sum.size()));
}

// A run of a region's new bytes, as read: `length` bytes at `bytes`, in the
// journal (carried as they are) or in the region's old bytes.
struct Run {
    quint64 length = 0;
    const char* bytes = nullptr;
};

// One region as read. Its bytes point into the journal's bytes, so a copy
// of the old bytes repeated many times costs nothing until compared.
struct Region {
    quint64 offset = 0;
    QByteArrayView old;
    quint64 newLength = 0;
    std::vector<Run> runs;

    quint64 end() const { return offset + std::max(quint64(old.size()), newLength); }
};

struct Entry {
    QByteArray name; // a plain name in the folder; the first formats: an absolute path
    quint64 device = 0, inode = 0, oldSize = 0, newSize = 0;
    std::vector<Region> regions;
};

struct Journal {
    bool named = false; // the third format: plain names, the folder's identity
    quint64 folderDevice = 0, folderInode = 0;
    std::vector<Entry> entries;
};

// The journal's fields, read as QDataStream wrote them (big-endian), with
// every length checked against what is left.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : fAt(bytes.data()), fEnd(bytes.data() + bytes.size()) {}

    bool ok() const { return fOk; }
    qsizetype left() const { return fEnd - fAt; }

    quint64 number(int width) {
        if (!fOk || left() < width) return fail();
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | uchar(fAt[i]);
        fAt += width;
        return value;
    }
    quint8 u8() { return quint8(number(1)); }
    quint32 u32() { return quint32(number(4)); }
    quint64 u64() { return number(8); }

    // Length-prefixed bytes; the length of a null array (all ones) reads as none.
    QByteArrayView bytes() {
        const quint32 length = u32();
        if (!fOk || length == 0xFFFFFFFFu) return {};
        if (qsizetype(length) > left()) {
            fail();
            return {};
        }
        const QByteArrayView out(fAt, qsizetype(length));
        fAt += length;
        return out;
    }

    quint64 fail() {
        fOk = false;
        return 0;
    }

private:
    const char* fAt;
    const char* fEnd;
    bool fOk = true;
};

// Sizes past this are not a file's.
constexpr quint64 kLargestSize = quint64(1) << 62;

// A region of the second and third formats: its old bytes, then its new
// ones as runs carried as they are or copied from the old bytes.
bool readRegion(Reader& in, Region* region) {
    region->offset = in.u64();
    region->old = in.bytes();
    region->newLength = in.u32();
    const quint32 pieces = in.u32();
    quint64 total = 0;
    // Every piece takes at least five bytes of the journal: the count is
    // bounded by what is left, whatever it says.
    for (quint32 p = 0; p < pieces && in.ok(); ++p) {
        Run run;
        const quint8 kind = in.u8();
        if (kind == 0) {
            const QByteArrayView literal = in.bytes();
            run = {quint64(literal.size()), literal.data()};
        } else if (kind == 1) {
            const quint32 from = in.u32(), length = in.u32();
            if (quint64(from) + length > quint64(region->old.size())) return false;
            run = {length, region->old.data() + from};
        } else {
            return false;
        }
        if (run.length == 0 || total + run.length > region->newLength) return false;
        total += run.length;
        region->runs.push_back(run);
    }
    return in.ok() && total == region->newLength;
}

// A region of the first format: its old and new bytes as they are.
bool readRegionV1(Reader& in, Region* region) {
    region->offset = in.u64();
    region->old = in.bytes();
    const QByteArrayView now = in.bytes();
    region->newLength = quint64(now.size());
    if (!now.isEmpty()) region->runs.push_back({quint64(now.size()), now.data()});
    return in.ok();
}

// The regions of an entry must describe a write to a file of its old and
// new sizes: each inside them, none overlapping another, and a region's old
// bytes shorter than its new ones only where the old file ended (or the
// other way round, where the new one ends). Anything else is not a journal
// a save wrote.
bool sound(Entry& e) {
    if (e.oldSize > kLargestSize || e.newSize > kLargestSize) return false;
    std::sort(e.regions.begin(), e.regions.end(),
              [](const Region& a, const Region& b) { return a.offset < b.offset; });
    quint64 last = 0;
    for (const Region& r : e.regions) {
        const quint64 oldLength = quint64(r.old.size());
        // Lengths are below 2^32 and offsets below 2^62: no sum overflows.
        if (r.offset < last || r.offset > kLargestSize || r.offset + oldLength > e.oldSize ||
            r.offset + r.newLength > e.newSize)
            return false;
        if (oldLength < r.newLength && r.offset + oldLength != e.oldSize) return false;
        if (r.newLength < oldLength && r.offset + r.newLength != e.newSize) return false;
        last = r.end();
    }
    return true;
}

// Null when the payload (the journal without its checksum) is not one a
// save wrote.
std::optional<Journal> parse(QByteArrayView payload) {
    Reader in(payload);
    const QByteArrayView magic = in.bytes();
    Journal journal;
    int version = 0;
    if (magic == kMagicV1) version = 1;
    if (magic == kMagicV2) version = 2;
    if (magic == kMagic) version = 3;
    if (version == 0) return std::nullopt;
    journal.named = version == 3;
    if (journal.named) {
        journal.folderDevice = in.u64();
        journal.folderInode = in.u64();
    }
    const quint32 count = in.u32();
    for (quint32 i = 0; i < count && in.ok(); ++i) {
        Entry e;
        e.name = in.bytes().toByteArray();
        e.device = in.u64();
        e.inode = in.u64();
        e.oldSize = in.u64();
        e.newSize = in.u64();
        const quint32 regions = in.u32();
        for (quint32 r = 0; r < regions && in.ok(); ++r) {
            Region region;
            if (!(version == 1 ? readRegionV1(in, &region) : readRegion(in, &region)))
                return std::nullopt;
            e.regions.push_back(std::move(region));
        }
        if (!in.ok() || !sound(e)) return std::nullopt;
        journal.entries.push_back(std::move(e));
    }
    if (!in.ok() || in.left() != 0) return std::nullopt;
    return journal;
}

// How a file's bytes stand against one entry of a journal.
struct Findings {
    bool allOld = true;  // every journaled byte is its old one
    bool allNew = true;  // ... its new one
    bool eachOne = true; // each byte is its old or its new one
    bool readable = true;
};

// Compares every byte of the file's regions that the file holds with the
// region's old and new bytes, a block at a time.
void compare(int fd, quint64 size, const Region& r, Findings* f) {
    const quint64 end = std::min(size, r.end());
    if (r.offset >= end) return;
    const quint64 oldLength = quint64(r.old.size());
    QByteArray block(qsizetype(std::min<quint64>(end - r.offset, 1 << 16)), Qt::Uninitialized);
    size_t run = 0;       // the run holding the new byte at `at`
    quint64 runStart = 0; // where that run starts in the region
    for (quint64 at = 0; at < end - r.offset && f->eachOne;) {
        const quint64 n = std::min<quint64>(end - r.offset - at, quint64(block.size()));
        if (!FileIO::readAt(fd, block.data(), size_t(n), r.offset + at)) {
            f->readable = false;
            return;
        }
        for (quint64 i = 0; i < n; ++i, ++at) {
            const char byte = block[qsizetype(i)];
            const bool isOld = at < oldLength && byte == r.old[qsizetype(at)];
            bool isNew = false;
            if (at < r.newLength) {
                while (at >= runStart + r.runs[run].length)
                    runStart += r.runs[run++].length;
                isNew = byte == r.runs[run].bytes[at - runStart];
            }
            f->allOld = f->allOld && isOld;
            f->allNew = f->allNew && isNew;
            f->eachOne = f->eachOne && (isOld || isNew);
        }
    }
}

// Whether [from, to) lies inside the regions, where `length` gives the part
// of a region that counts.
template <typename Length>
bool covered(const std::vector<Region>& regions, quint64 from, quint64 to, Length length) {
    for (const Region& r : regions) {
        if (from >= to) break;
        if (r.offset <= from && from < r.offset + length(r)) from = r.offset + length(r);
    }
    return from >= to;
}

// Puts one file back when its bytes prove a torn write of this entry: its
// size between its old and new ones, each byte the journal covers its old
// or its new one, and every byte that putting it back would cut off or
// bring back covered by the journal. A file holding all of its new bytes
// keeps them, one holding all of its old ones needs nothing, and any other
// was changed by someone else since and is left alone (Nothing).
Outcome finishEntry(const FolderHandle& folder, const QByteArray& name, const Entry& e) {
    const QString shown = QFile::decodeName(name);
    struct stat st {};
    const int fd = folder.openFile(name, O_RDWR, &st);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            TROVIX_LOG() << "Rollback journal: left alone, no longer there:" << shown;
            return Outcome::nothing();
        }
        return Outcome::failed(
            QStringLiteral("“%1” was not put back: %2.").arg(shown, FolderHandle::whyNot(error)));
    }
    const FileIO::ClosedAtExit closer{fd};
    if (quint64(st.st_dev) != e.device || quint64(st.st_ino) != e.inode) {
        // Replaced since: whatever is there now is not ours to undo.
        TROVIX_LOG() << "Rollback journal: left alone, no longer the file saved:" << shown;
        return Outcome::nothing();
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return Outcome::failed(QStringLiteral("“%1” was not put back: it is in use.").arg(shown));
    const quint64 size = quint64(st.st_size);
    Findings f;
    f.allOld = size == e.oldSize;
    f.allNew = size == e.newSize;
    f.eachOne = size >= std::min(e.oldSize, e.newSize) && size <= std::max(e.oldSize, e.newSize);
    for (const Region& r : e.regions)
        if (f.eachOne) compare(fd, size, r, &f);
    if (!f.readable)
        return Outcome::failed(
            QStringLiteral("“%1” was not put back: %2.").arg(shown, Durable::errnoText(errno)));
    if (f.allNew || f.allOld) return Outcome::nothing();
    // Bytes past the old end are cut off, and only journaled new bytes may
    // be; bytes missing before it come back, and only from the journal.
    const bool provable =
        f.eachOne &&
        (size <= e.oldSize ||
         covered(e.regions, e.oldSize, size, [](const Region& r) { return r.newLength; })) &&
        (size >= e.oldSize || covered(e.regions, size, e.oldSize,
                                      [](const Region& r) { return quint64(r.old.size()); }));
    if (!provable) {
        TROVIX_LOG() << "Rollback journal: left alone, changed by another program since:" << shown;
        return Outcome::nothing();
    }
    bool ok = ::ftruncate(fd, off_t(e.oldSize)) == 0;
    for (const Region& r : e.regions)
        ok = ok && FileIO::writeAt(fd, r.old.data(), size_t(r.old.size()), r.offset);
    ok = ok && ::fdatasync(fd) == 0;
    if (!ok)
        return Outcome::failed(QStringLiteral("“%1” could not be put back: %2.")
                                   .arg(shown, Durable::errnoText(errno)));
    TROVIX_LOG() << "Rollback journal: restored the old content of" << shown;
    return Outcome::done();
}

// The name in `folder` of the file an entry of an older journal names by
// its absolute path: null unless the path's folder is this folder.
QByteArray nameInFolder(const FolderHandle& folder, const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0 || !path.startsWith('/')) return {};
    const QByteArray parent = slash == 0 ? QByteArray("/") : path.left(slash);
    struct stat st {};
    if (::stat(parent.constData(), &st) != 0 || !folder.is(st.st_dev, st.st_ino)) return {};
    return path.mid(slash + 1);
}

bool isJournalName(const QByteArray& name) {
    return (name.startsWith(kPrefix) || name.startsWith(kPrefixV2) || name.startsWith(kPrefixV1)) &&
           name.endsWith(kSuffix);
}

// The pid in ".trovix-rollback3-<pid>-<n>.journal" (or an older prefix).
long ownerOf(const QByteArray& name) {
    const qsizetype prefix = name.startsWith(kPrefix)     ? qsizetype(sizeof kPrefix - 1)
                             : name.startsWith(kPrefixV2) ? qsizetype(sizeof kPrefixV2 - 1)
                                                          : qsizetype(sizeof kPrefixV1 - 1);
    const QByteArray rest = name.mid(prefix);
    bool ok = false;
    const long pid = long(rest.left(rest.indexOf('-')).toLongLong(&ok));
    return ok ? pid : 0;
}

// A journal may hold the bytes its files can need, no more: the old and
// new bytes of every file in the folder, and room for its fields.
qint64 largestJournal(const FolderHandle& folder) {
    qint64 total = 1 << 20;
    for (const QByteArray& name : folder.names()) {
        struct stat st {};
        if (!isJournalName(name) && folder.statAt(name, &st) && S_ISREG(st.st_mode))
            total += 2 * qint64(st.st_size);
    }
    return total;
}

} // namespace

RollbackJournal::~RollbackJournal() {
    // Left on disk on purpose when the save could not finish: recovery
    // needs it. Closing releases the lock that says a save holds it.
    if (fFd >= 0) ::close(fFd);
}

Outcome RollbackJournal::write(const QString& folder, const std::vector<const SavePlan*>& plans) {
    // Written under its own name and synced once: a journal cut short by
    // a crash fails its checksum, and nothing was overwritten under it.
    if (fFd >= 0) {
        // A later group of the same save: the files of the last one are on
        // disk, so their copies may go. The file is written over, not
        // removed and made anew: where freed blocks are discarded, the next
        // sync would wait for that.
        const off_t end = ::lseek(fFd, 0, SEEK_SET) == 0 && writeJournal(fFd, fFolder, plans)
                              ? ::lseek(fFd, 0, SEEK_CUR)
                              : off_t(-1);
        if (end >= 0 && ::ftruncate(fFd, end) == 0 && ::fsync(fFd) == 0) return Outcome::done();
        const Outcome failed = Outcome::failed(Durable::errnoText(errno));
        remove();
        return failed;
    }
    if (!fFolder.open(folder)) return Outcome::failed(Durable::errnoText(errno));
    const QByteArray stem = kPrefix + QByteArray::number(qlonglong(::getpid())) + '-';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = stem + QByteArray::number(++gSequence) + kSuffix;
        const int fd = fFolder.createFile(name, O_WRONLY, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        // Held until the journal is removed: recovery leaves a held journal
        // alone. Its name must last as well as its bytes, or a power cut
        // could leave torn files and no journal to find: the folder is
        // synced too (where a folder cannot be synced, EINVAL, there is no
        // more to be had).
        if (::flock(fd, LOCK_EX) == 0 && writeJournal(fd, fFolder, plans) && ::fsync(fd) == 0 &&
            (fFolder.sync() || errno == EINVAL)) {
            fName = name;
            fFd = fd;
            return Outcome::done();
        }
        const int error = errno;
        fFolder.remove(name);
        ::close(fd);
        errno = error;
        break;
    }
    const Outcome failed = Outcome::failed(Durable::errnoText(errno));
    fFolder.close();
    return failed;
}

void RollbackJournal::keep() {
    if (fFd < 0) return;
    ::close(fFd);
    fFd = -1;
    fName.clear();
    fFolder.close();
}

void RollbackJournal::prepare() {
    Digest::prepare();
}

void RollbackJournal::remove() {
    if (fFd < 0) return;
    // Not synced: should a crash bring it back, every file it names holds
    // its new bytes, and recovery leaves such files as they are.
    fFolder.remove(fName);
    // The last close of a removed file frees its blocks, which took up to
    // 15 ms on a busy disk; the save need not wait for that.
    Durable::closeElsewhere({fFd});
    fFd = -1;
    fName.clear();
    fFolder.close();
}

bool RollbackJournal::finishJournal(const FolderHandle& folder, const QByteArray& name,
                                    const QByteArray& bytes, RecoveryReport* report) {
    const QString shown = QFile::decodeName(name);
    const QByteArrayView payload(bytes.constData(),
                                 std::max<qsizetype>(bytes.size() - kHashLen, 0));
    const QByteArray hash =
        bytes.size() < kHashLen
            ? QByteArray()
            : Digest::hash(payload.data(), size_t(payload.size()), Digest::Kind::Sha256);
    if (hash.size() != kHashLen || hash != QByteArrayView(bytes).last(kHashLen)) {
        // Cut short: nothing was overwritten under it. Unless its save is
        // still writing it.
        const long pid = ownerOf(name);
        const bool gone = pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
        if (gone) TROVIX_LOG() << "Rollback journal: incomplete, removed:" << shown;
        return gone;
    }
    const std::optional<Journal> journal = parse(payload);
    if (!journal) {
        report->refused << QStringLiteral("The save journal “%1” is not one Trovix wrote; it was "
                                          "left in place.")
                               .arg(shown);
        return false;
    }
    if (journal->named && !folder.is(dev_t(journal->folderDevice), ino_t(journal->folderInode))) {
        // A copy of the folder, or the folder on another disk: its files
        // are other files, and the journal waits for the folder it was
        // written in.
        report->refused << QStringLiteral("The save journal “%1” was written in another folder "
                                          "(this one may be a copy); nothing was put back from it, "
                                          "and it was left in place.")
                               .arg(shown);
        return false;
    }
    bool settled = true;
    QSet<QByteArray> seen;
    for (const Entry& e : journal->entries) {
        const QByteArray file = journal->named ? e.name : nameInFolder(folder, e.name);
        const QString fileShown = QFile::decodeName(file.isNull() ? e.name : file);
        QString why;
        if (file.isNull()) {
            why = QStringLiteral("The save journal “%1” names “%2”, outside this folder; it was "
                                 "left in place.")
                      .arg(shown, fileShown);
        } else if (!FolderHandle::isPlainName(file) || FolderHandle::isReservedName(file) ||
                   seen.contains(file)) {
            why = QStringLiteral("The save journal “%1” names “%2”, which is not a music file of "
                                 "this folder; it was left in place.")
                      .arg(shown, fileShown);
        }
        seen.insert(file);
        const Outcome outcome = why.isNull() ? finishEntry(folder, file, e) : Outcome::failed(why);
        if (outcome.ok()) report->restored << fileShown;
        if (outcome.code == Outcome::Code::Failed) {
            report->refused << outcome.reason;
            settled = false;
        }
    }
    return settled;
}

RecoveryReport RollbackJournal::recover(const FolderHandle& folder) {
    RecoveryReport report;
    std::vector<QByteArray> journals;
    for (const QByteArray& name : folder.names())
        if (isJournalName(name)) journals.push_back(name);
    if (journals.empty()) return report;
    std::sort(journals.begin(), journals.end());
    const qint64 largest = largestJournal(folder);
    bool changed = false;
    for (const QByteArray& name : journals) {
        const QString shown = QFile::decodeName(name);
        struct stat st {};
        const int fd = folder.openFile(name, O_RDONLY, &st);
        if (fd < 0) {
            report.refused << QStringLiteral("“%1” is named like a save journal, but %2; it was "
                                             "left in place.")
                                  .arg(shown, FolderHandle::whyNot(errno));
            continue;
        }
        const FileIO::ClosedAtExit closer{fd};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) continue; // a save in progress
        if (st.st_size > largest) {
            report.refused << QStringLiteral("The save journal “%1” is larger than any save of "
                                             "this folder could make; it was left in place.")
                                  .arg(shown);
            continue;
        }
        QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
        if (!FileIO::readAt(fd, bytes.data(), size_t(bytes.size()), 0)) {
            report.refused << QStringLiteral("The save journal “%1” could not be read (%2); it was "
                                             "left in place.")
                                  .arg(shown, Durable::errnoText(errno));
            continue;
        }
        // Kept when a file could not be put back, for the next opening.
        if (finishJournal(folder, name, bytes, &report)) changed |= folder.remove(name);
    }
    if (changed) folder.sync();
    return report;
}
