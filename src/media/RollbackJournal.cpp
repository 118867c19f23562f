#include "media/RollbackJournal.h"

#include "media/Digest.h"
#include "media/FileIO.h"
#include "system/Log.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
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
// longer title) and carries only the rest.
// Journals of the second format have a name of their own: a build that
// knows only the first would take one for a journal cut short and remove
// it, torn files and all.
const QByteArray kMagicV1 = QByteArrayLiteral("TROVIX-ROLLBACK-1");
const QByteArray kMagic = QByteArrayLiteral("TROVIX-ROLLBACK-2");
constexpr const char kPrefixV1[] = ".trovix-tags-";
constexpr const char kPrefix[] = ".trovix-rollback-";
constexpr const char kSuffix[] = ".journal";
constexpr int kHashLen = 32;

std::atomic<int> gSequence{0};

QByteArray digest(const char* bytes, qsizetype length) {
    const QByteArray hash = Digest::hash(bytes, size_t(length), Digest::Kind::Sha256);
    return hash.size() == kHashLen ? hash : QByteArray();
}

struct Region {
    quint64 offset = 0;
    QByteArray old;
    QByteArray now; // the new bytes
};

struct Entry {
    QByteArray path;
    quint64 device = 0, inode = 0, oldSize = 0, newSize = 0;
    std::vector<Region> regions;
};

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
// one array first: the fields go through small buffers, the old and new
// bytes straight from the plans. The hash is taken on a second thread while
// the bytes are written.
bool writeJournal(int fd, const std::vector<const SavePlan*>& plans) {
    std::vector<QByteArrayView> spans; // the journal, in order
    std::deque<QByteArray> fields;     // the spans that are not the plans' own bytes
    QByteArray pending;                // fields not yet in a span
    auto encode = [&pending](const auto& write) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        write(out);
        pending += bytes;
    };
    auto flush = [&] {
        if (pending.isEmpty()) return;
        fields.push_back(std::move(pending));
        spans.push_back(fields.back());
        pending = QByteArray();
    };
    // Bytes as QDataStream writes a QByteArray: its length, then the bytes;
    // large ones straight from where they are.
    constexpr qsizetype kInline = 4096;
    auto putBytes = [&](const char* bytes, qsizetype length) {
        if (length < kInline) {
            encode([&](QDataStream& out) {
                out << quint32(length);
                out.writeRawData(bytes, int(length));
            });
            return;
        }
        encode([&](QDataStream& out) { out << quint32(length); });
        flush();
        spans.emplace_back(bytes, length);
    };
    encode([&](QDataStream& out) { out << kMagic << quint32(plans.size()); });
    for (const SavePlan* plan : plans) {
        encode([&](QDataStream& out) {
            out << QFile::encodeName(plan->target) << quint64(plan->seen.st_dev)
                << quint64(plan->seen.st_ino) << quint64(plan->seen.st_size)
                << quint64(plan->newSize) << quint32(plan->regions.size());
        });
        for (const SaveRegion& r : plan->regions) {
            const std::vector<Piece> pieces = PieceFinder(r.old, r.bytes).find();
            encode([&](QDataStream& out) { out << quint64(r.offset); });
            putBytes(r.old.constData(), r.old.size());
            encode([&](QDataStream& out) {
                out << quint32(r.bytes.size()) << quint32(pieces.size());
            });
            for (const Piece& piece : pieces) {
                if (piece.from >= 0) {
                    encode([&](QDataStream& out) {
                        out << quint8(1) << quint32(piece.from) << quint32(piece.length);
                    });
                    continue;
                }
                encode([&](QDataStream& out) { out << quint8(0); });
                putBytes(r.bytes.constData() + piece.at, piece.length);
            }
        }
    }
    flush();

    Digest hash(Digest::Kind::Sha256);
    auto hashAll = [&hash, &spans] {
        for (const QByteArrayView span : spans)
            hash.addData(span.data(), size_t(span.size()));
    };
    std::thread hasher;
    try {
        hasher = std::thread(hashAll);
    } catch (const std::system_error&) {
        hashAll();
    }
    bool ok = true;
    for (const QByteArrayView span : spans)
        if (ok) ok = FileIO::writeAll(fd, span.data(), size_t(span.size()));
    const int error = errno;
    if (hasher.joinable()) hasher.join();
    errno = error;
    if (!ok) return false;
    const QByteArray sum = hash.result();
    if (sum.size() != kHashLen) {
        errno = EIO;
        return false;
    }
    return FileIO::writeAll(fd, sum.constData(), size_t(sum.size()));
}

// Bytes as putBytes() wrote them; false past the end of the journal.
bool readBytes(QDataStream& in, qsizetype left, QByteArray* bytes) {
    quint32 length = 0;
    in >> length;
    if (in.status() != QDataStream::Ok || qsizetype(length) > left) return false;
    bytes->resize(qsizetype(length));
    return in.readRawData(bytes->data(), int(length)) == int(length);
}

// A region of the second format: its old bytes, then its new ones as pieces.
bool readRegion(QDataStream& in, qsizetype left, Region* region) {
    quint32 length = 0, pieces = 0;
    in >> region->offset;
    if (!readBytes(in, left, &region->old)) return false;
    in >> length >> pieces;
    if (in.status() != QDataStream::Ok) return false;
    QByteArray literal;
    for (quint32 p = 0; p < pieces; ++p) {
        quint8 kind = 0;
        in >> kind;
        if (in.status() != QDataStream::Ok) return false;
        if (kind == 0) {
            if (!readBytes(in, left, &literal)) return false;
            region->now += literal;
        } else {
            quint32 from = 0, run = 0;
            in >> from >> run;
            if (kind != 1 || in.status() != QDataStream::Ok ||
                quint64(from) + run > quint64(region->old.size()))
                return false;
            region->now.append(region->old.constData() + from, qsizetype(run));
        }
        if (region->now.size() > qsizetype(length)) return false;
    }
    return region->now.size() == qsizetype(length);
}

// Null when the bytes are not a whole journal.
std::optional<std::vector<Entry>> parse(const QByteArray& bytes) {
    if (bytes.size() < kHashLen) return std::nullopt;
    const QByteArray payload = bytes.left(bytes.size() - kHashLen);
    const QByteArray hash = digest(payload.constData(), payload.size());
    if (hash.isEmpty() || hash != bytes.right(kHashLen)) return std::nullopt;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    QByteArray magic;
    quint32 count = 0;
    in >> magic >> count;
    if (magic != kMagic && magic != kMagicV1) return std::nullopt;
    const bool pieces = magic == kMagic;
    std::vector<Entry> entries;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        Entry e;
        quint32 regions = 0;
        in >> e.path >> e.device >> e.inode >> e.oldSize >> e.newSize >> regions;
        for (quint32 r = 0; r < regions && in.status() == QDataStream::Ok; ++r) {
            Region region;
            if (pieces) {
                if (!readRegion(in, payload.size(), &region)) return std::nullopt;
            } else {
                in >> region.offset >> region.old >> region.now;
            }
            e.regions.push_back(std::move(region));
        }
        entries.push_back(std::move(e));
    }
    if (in.status() != QDataStream::Ok) return std::nullopt;
    return entries;
}

QByteArray bytesAt(int fd, uint64_t offset, qsizetype length, uint64_t size) {
    if (offset >= size) return {};
    length = qsizetype(std::min<uint64_t>(uint64_t(length), size - offset));
    QByteArray bytes(length, '\0');
    if (!FileIO::readAt(fd, bytes.data(), size_t(length), offset)) return {};
    return bytes;
}

enum class Outcome { Untouched, Restored, Failed };

// Puts one file back unless it holds all of its new bytes or all of its
// old ones. Each byte of a torn write is either old or new; a file with
// other bytes there was changed by someone else since, and is left alone.
Outcome finishEntry(const Entry& e) {
    const QString name = QFile::decodeName(e.path);
    struct stat st {};
    if (::stat(e.path.constData(), &st) != 0 || quint64(st.st_dev) != e.device ||
        quint64(st.st_ino) != e.inode) {
        // Gone or replaced since: whatever is there now is not ours to undo.
        TROVIX_LOG() << "Rollback journal: left alone, no longer the file saved:" << name;
        return Outcome::Untouched;
    }
    const int fd = ::open(e.path.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        TROVIX_LOG() << "Rollback journal: cannot open" << name << FileIO::errnoText(errno);
        return Outcome::Failed;
    }
    const FileIO::ClosedAtExit closer{fd};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0) return Outcome::Failed;
    const quint64 size = quint64(st.st_size);

    bool allNew = size == e.newSize;
    bool allOld = size == e.oldSize;
    bool ours = size >= std::min(e.oldSize, e.newSize) && size <= std::max(e.oldSize, e.newSize);
    for (const Region& r : e.regions) {
        const qsizetype span = std::max(r.old.size(), r.now.size());
        const QByteArray now = bytesAt(fd, r.offset, span, size);
        allNew = allNew && now.left(r.now.size()) == r.now;
        allOld = allOld && now.left(r.old.size()) == r.old;
        for (qsizetype i = 0; ours && i < now.size(); ++i)
            ours = (i < r.old.size() && now[i] == r.old[i]) ||
                   (i < r.now.size() && now[i] == r.now[i]);
    }
    if (allNew || allOld) return Outcome::Untouched;
    if (!ours) {
        TROVIX_LOG() << "Rollback journal: left alone, changed by another program since:" << name;
        return Outcome::Untouched;
    }
    bool ok = ::ftruncate(fd, off_t(e.oldSize)) == 0;
    for (const Region& r : e.regions)
        ok = ok && FileIO::writeAt(fd, r.old.constData(), size_t(r.old.size()), r.offset);
    ok = ok && ::fdatasync(fd) == 0;
    if (!ok) {
        TROVIX_LOG() << "Rollback journal: could not restore" << name << FileIO::errnoText(errno);
        return Outcome::Failed;
    }
    TROVIX_LOG() << "Rollback journal: restored the old content of" << name;
    return Outcome::Restored;
}

bool isOurs(const QByteArray& name) {
    return (name.startsWith(kPrefix) || name.startsWith(kPrefixV1)) && name.endsWith(kSuffix);
}

// The pid in ".trovix-rollback-<pid>-<n>.journal" (or ".trovix-tags-...").
long ownerOf(const QByteArray& name) {
    const QByteArray rest =
        name.mid(qsizetype(name.startsWith(kPrefix) ? sizeof kPrefix - 1 : sizeof kPrefixV1 - 1));
    bool ok = false;
    const long pid = long(rest.left(rest.indexOf('-')).toLongLong(&ok));
    return ok ? pid : 0;
}

} // namespace

RollbackJournal::~RollbackJournal() {
    // Left on disk on purpose when the save could not finish: recovery
    // needs it. Closing releases the lock that says a save holds it.
    if (fFd >= 0) ::close(fFd);
}

bool RollbackJournal::write(const QString& folder, const std::vector<const SavePlan*>& plans,
                            QString* why) {
    // Written under its own name and synced once: a journal cut short by
    // a crash fails its checksum, and nothing was overwritten under it.
    if (fFd >= 0) {
        // A later group of the same save: the files of the last one are on
        // disk, so their copies may go. The file is written over, not
        // removed and made anew: where freed blocks are discarded, the next
        // sync would wait for that.
        const off_t end = ::lseek(fFd, 0, SEEK_SET) == 0 && writeJournal(fFd, plans)
                              ? ::lseek(fFd, 0, SEEK_CUR)
                              : off_t(-1);
        if (end >= 0 && ::ftruncate(fFd, end) == 0 && ::fsync(fFd) == 0) return true;
        *why = FileIO::errnoText(errno);
        remove();
        return false;
    }
    const QByteArray stem =
        QFile::encodeName(folder) + '/' + kPrefix + QByteArray::number(qlonglong(::getpid())) + '-';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray path = stem + QByteArray::number(++gSequence) + kSuffix;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        // Held until the journal is removed: recovery leaves a held journal
        // alone. Its name must last as well as its bytes, or a power cut
        // could leave torn files and no journal to find: the folder is
        // synced too (where a folder cannot be synced, EINVAL, there is no
        // more to be had).
        if (::flock(fd, LOCK_EX) == 0 && writeJournal(fd, plans) && ::fsync(fd) == 0 &&
            (FileIO::syncFolder(QFile::encodeName(folder)) || errno == EINVAL)) {
            fPath = path;
            fFd = fd;
            return true;
        }
        const int error = errno;
        ::unlink(path.constData());
        ::close(fd);
        errno = error;
        break;
    }
    *why = FileIO::errnoText(errno);
    return false;
}

void RollbackJournal::keep() {
    if (fFd < 0) return;
    ::close(fFd);
    fFd = -1;
    fPath.clear();
}

void RollbackJournal::remove() {
    if (fFd < 0) return;
    // Not synced: should a crash bring it back, every file it names holds
    // its new bytes, and recovery leaves such files as they are.
    ::unlink(fPath.constData());
    // The last close of a removed file frees its blocks, which took up to
    // 15 ms on a busy disk; the save need not wait for that.
    const int fd = fFd;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd);
    }
    fFd = -1;
    fPath.clear();
}

QStringList RollbackJournal::recover(const QString& folder) {
    QStringList restored;
    const QByteArray dir = QFile::encodeName(folder);
    std::vector<QByteArray> journals;
    if (DIR* d = ::opendir(dir.constData())) {
        while (const dirent* entry = ::readdir(d))
            if (isOurs(entry->d_name)) journals.emplace_back(entry->d_name);
        ::closedir(d);
    }
    bool changed = false;
    for (const QByteArray& name : journals) {
        const QByteArray path = dir + '/' + name;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const FileIO::ClosedAtExit closer{fd};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) continue; // a save in progress
        QFile file;
        QByteArray bytes;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            bytes = file.readAll();
        file.close();
        const auto entries = parse(bytes);
        bool done = true;
        if (!entries) {
            // Cut short: nothing was overwritten under it. Unless its save is
            // still writing it.
            const long pid = ownerOf(name);
            done = pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
            if (done)
                TROVIX_LOG() << "Rollback journal: incomplete, removed:" << QFile::decodeName(path);
        } else {
            for (const Entry& e : *entries) {
                const Outcome outcome = finishEntry(e);
                if (outcome == Outcome::Restored)
                    restored << QFileInfo(QFile::decodeName(e.path)).fileName();
                done = done && outcome != Outcome::Failed;
            }
        }
        // Kept when a file could not be put back, for the next opening.
        if (done) changed |= ::unlink(path.constData()) == 0;
    }
    if (changed) FileIO::syncFolder(dir);
    return restored;
}
