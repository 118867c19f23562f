#include "media/AtomParser.h"

#include "system/Log.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
// Far beyond any real movie header (a few MB for hours of audio); stops a
// forged size from costing that much memory.
constexpr uint64_t kMaxMoovLen = uint64_t(1) << 30;

QString errnoText(int err) {
    return QString::fromLocal8Bit(strerror(err));
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

bool preadAll(int fd, char* p, size_t n, uint64_t offset) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, p, n, off_t(offset));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) {
            errno = EIO; // the file shrank under us
            return false;
        }
        p += r;
        n -= size_t(r);
        offset += uint64_t(r);
    }
    return true;
}

bool pwriteAll(int fd, const char* p, size_t n, uint64_t offset) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, off_t(offset));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
        offset += uint64_t(w);
    }
    return true;
}

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

} // namespace

void AtomParser::setFailNewFileAfter(int64_t bytes) {
    gFailNewFileAfter = bytes;
}

std::unique_ptr<AtomParser> AtomParser::newAtomParser(const QString& path, QString* error) {
    std::unique_ptr<AtomParser> parser(new AtomParser(path));
    QString why;
    if (!parser->openAndParse(&why)) {
        TROVIX_LOG() << "Not an MPEG-4 file we can read:" << path << "-" << why;
        if (error) *error = why;
        return nullptr;
    }
    return parser;
}

AtomParser::~AtomParser() {
    closeFile();
}

void AtomParser::closeFile() {
    if (fFileDescr >= 0) ::close(fFileDescr); // also releases the lock
    fFileDescr = -1;
}

bool AtomParser::openAndParse(QString* error) {
    // The file is open only while it is read or written: a folder of a
    // thousand songs must not hold a thousand descriptors.
    struct Closer {
        AtomParser* p;
        ~Closer() { p->closeFile(); }
    } closer{this};
    const QByteArray native = QFile::encodeName(fPath);
    // Non-blocking so that a FIFO named like a music file cannot hang us.
    fFileDescr = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fFileDescr < 0) {
        *error = errno == EISDIR ? QStringLiteral("it is a folder") : errnoText(errno);
        return false;
    }
    if (::fstat(fFileDescr, &fStat) != 0) {
        *error = errnoText(errno);
        return false;
    }
    if (!S_ISREG(fStat.st_mode)) {
        *error = S_ISDIR(fStat.st_mode) ? QStringLiteral("it is a folder")
                                        : QStringLiteral("it is not a regular file");
        return false;
    }
    ::fcntl(fFileDescr, F_SETFL, ::fcntl(fFileDescr, F_GETFL) & ~O_NONBLOCK);
    // Not read while another writer holds it, when we can help it; a file
    // changed meanwhile is caught before it is written.
    ::flock(fFileDescr, LOCK_EX | LOCK_NB);

    fFileLen = uint64_t(fStat.st_size);
    if (fFileLen == 0) {
        *error = QStringLiteral("the file is empty");
        return false;
    }

    // Only the atom headers and "moov" are read. Mapping the file instead
    // costs page faults that made opening a folder several times slower.
    AtomParseContext ctx;
    fAtoms.clear();
    uint64_t offset = 0;
    while (offset < fFileLen) {
        const uint64_t left = fFileLen - offset;
        uint8_t header[16];
        const size_t headerLen = size_t(std::min<uint64_t>(left, sizeof header));
        if (!preadAll(fFileDescr, reinterpret_cast<char*>(header), headerLen, offset)) {
            *error = errnoText(errno);
            return false;
        }
        ctx.base = header;
        ctx.baseOffset = offset;
        ctx.available = headerLen;
        QByteArray whole;
        if (headerLen >= 8 && qFromBigEndian<uint32_t>(header + 4) == kMoov) {
            uint64_t size = qFromBigEndian<uint32_t>(header);
            if (size == 0) size = left;
            if (size == 1 && headerLen >= 16) size = qFromBigEndian<uint64_t>(header + 8);
            if (size >= 8 && size <= left) { // else the parse below says why
                if (size > kMaxMoovLen) {
                    *error = QStringLiteral("a movie header of %1 bytes").arg(size);
                    return false;
                }
                whole.resize(qsizetype(size));
                if (!preadAll(fFileDescr, whole.data(), size_t(size), offset)) {
                    *error = errnoText(errno);
                    return false;
                }
                ctx.base = reinterpret_cast<const uint8_t*>(whole.constData());
                ctx.available = size;
            }
        }
        Atom::Ptr atom = Atom::newAtom(ctx, offset, left, 0, 0);
        if (!atom) {
            fAtoms.clear();
            *error = ctx.error;
            return false;
        }
        offset += atom->originalLen();
        fAtoms.push_back(std::move(atom));
    }
    if (!moovAtom()) {
        fAtoms.clear();
        *error = QStringLiteral("no 'moov' atom");
        return false;
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
    return {};
}

// Opens the file for writing under an exclusive lock, after checking that
// it is still the one we parsed: same inode at the path, same size and
// modification time. The caller closes it.
bool AtomParser::mayWrite() {
    closeFile();
    fLastError = whyNotWritable();
    if (!fLastError.isNull()) return false;
    fFileDescr = ::open(QFile::encodeName(fPath).constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fFileDescr < 0) {
        switch (errno) {
        case EACCES:
        case EPERM:
            fLastError = QStringLiteral("You do not have permission to change the file.");
            break;
        case EROFS:
            fLastError = QStringLiteral("The file is on a read-only disk.");
            break;
        case ENOENT:
            fLastError = QStringLiteral("The file is no longer there.");
            break;
        default:
            fLastError = QStringLiteral("The file could not be opened: %1.").arg(errnoText(errno));
        }
        return false;
    }
    ::fcntl(fFileDescr, F_SETFL, ::fcntl(fFileDescr, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fFileDescr, LOCK_EX | LOCK_NB) != 0) {
        fLastError = QStringLiteral("The file is in use by another program.");
        closeFile();
        return false;
    }
    if (!stillUnchanged()) {
        closeFile();
        return false;
    }
    return true;
}

bool AtomParser::stillUnchanged() {
    struct stat now {};
    struct stat atPath {};
    if (::fstat(fFileDescr, &now) != 0 ||
        ::stat(QFile::encodeName(fPath).constData(), &atPath) != 0 || now.st_dev != fStat.st_dev ||
        now.st_ino != fStat.st_ino || atPath.st_dev != fStat.st_dev ||
        atPath.st_ino != fStat.st_ino || now.st_size != fStat.st_size ||
        !sameTime(now.st_mtim, fStat.st_mtim)) {
        fLastError = QStringLiteral("The file was changed by another program since it was "
                                    "opened; open it again before saving.");
        return false;
    }
    return true;
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

AtomParser::WriteResult AtomParser::rewrite() {
    if (!mayWrite()) return WriteResult::Failed;
    struct Closer {
        AtomParser* p;
        ~Closer() { p->closeFile(); }
    } closer{this};
    Atom* moov = moovAtom();
    const uint64_t oldSize = moov->originalLen();
    const uint64_t minSize = moov->minAtomSize();
    if (minSize > oldSize) return WriteResult::DoesNotFit;
    const uint64_t padding = oldSize - minSize;
    if (padding != 0 && padding < 8) return WriteResult::DoesNotFit;
    const QByteArray block = moov->buildModifiedAtom(oldSize, paddingCarrier(padding != 0));
    if (block.isEmpty()) return WriteResult::DoesNotFit;

    const uint64_t at = moov->originalOffset();
    if (!pwriteAll(fFileDescr, block.constData(), size_t(block.size()), at) ||
        ::fdatasync(fFileDescr) != 0) {
        fLastError = QStringLiteral("The file could not be written: %1.").arg(errnoText(errno));
        return WriteResult::Failed;
    }
    ::fstat(fFileDescr, &fStat);
    return WriteResult::Written;
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

bool AtomParser::writeNewFile(const QString& tempPath, int out, const QByteArray& moovBlock) {
    const int64_t failAfter = gFailNewFileAfter;
    uint64_t written = 0;
    auto put = [&](const char* p, size_t n) {
        if (failAfter >= 0 && written + n > uint64_t(failAfter)) {
            errno = ENOSPC;
            return false;
        }
        written += n;
        return writeAll(out, p, n);
    };
    std::vector<char> buffer;
    for (auto& atom : fAtoms) {
        if (atom->type() == kMoov) {
            if (!put(moovBlock.constData(), size_t(moovBlock.size()))) return false;
            continue;
        }
        // Everything else is copied as it lies in the file, audio included.
        uint64_t left = atom->originalLen();
        uint64_t from = atom->originalOffset();
        buffer.resize(size_t(std::min<uint64_t>(left, kCopyChunk)));
        while (left > 0) {
            const size_t n = size_t(std::min<uint64_t>(left, kCopyChunk));
            if (!preadAll(fFileDescr, buffer.data(), n, from) || !put(buffer.data(), n))
                return false;
            left -= n;
            from += n;
        }
    }
    if (::fchmod(out, fStat.st_mode & 07777) != 0) return false;
    if (::fchown(out, fStat.st_uid, fStat.st_gid) != 0) {
        // Not fatal: the tags matter more than the group.
        TROVIX_LOG() << "Could not keep the owner and group for" << tempPath;
    }
    return ::fsync(out) == 0;
}

bool AtomParser::rewriteNew() {
    if (!mayWrite()) return false;
    struct Closer {
        AtomParser* p;
        ~Closer() { p->closeFile(); }
    } closer{this};
    Atom* moov = moovAtom();
    Atom* carrier = paddingCarrier(true);
    const uint64_t newSize = moov->minAtomSize() + kRewritePadding;
    const int64_t delta = int64_t(newSize) - int64_t(moov->originalLen());
    if (!fixUpStcoAtom(moov->originalOffset() + moov->originalLen(), delta)) {
        fLastError = QStringLiteral("The tags do not fit: the audio would have to move past "
                                    "4 GiB, which this file's chunk table cannot express.");
        return false;
    }
    const QByteArray block = moov->buildModifiedAtom(newSize, carrier);
    // The tree keeps the offsets of the file on disk until that file is
    // replaced and read again.
    undoStcoFixUp();
    if (block.isEmpty()) {
        fLastError = QStringLiteral("The tags could not be laid out for writing.");
        return false;
    }

    // Through a symbolic link, the file it points to is replaced.
    const QFileInfo info(fPath);
    const QString target = info.canonicalFilePath();
    if (target.isEmpty()) {
        fLastError = QStringLiteral("The file is no longer there.");
        return false;
    }
    const QString dir = QFileInfo(target).absolutePath();
    const QString base =
        QStringLiteral("%1/Trovix.%2").arg(dir).arg(QCoreApplication::applicationPid(), 0, 16);
    QString tempPath = base;
    int out = -1;
    for (int n = 1; n < 100; ++n) {
        out = ::open(QFile::encodeName(tempPath).constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out >= 0 || errno != EEXIST) break;
        tempPath = QStringLiteral("%1.%2").arg(base).arg(n);
    }
    if (out < 0) {
        fLastError = QStringLiteral("A new copy of the file could not be made in %1: %2.")
                         .arg(dir, errnoText(errno));
        return false;
    }
    const QByteArray nativeTemp = QFile::encodeName(tempPath);
    const bool ok = writeNewFile(tempPath, out, block);
    const int writeErr = errno;
    if (::close(out) != 0 || !ok) {
        fLastError = QStringLiteral("The file could not be written: %1. It was left as it was.")
                         .arg(errnoText(ok ? errno : writeErr));
        ::unlink(nativeTemp.constData());
        return false;
    }
    if (!stillUnchanged()) {
        ::unlink(nativeTemp.constData());
        return false;
    }
    // One atomic step: the old file is never removed first.
    if (::rename(nativeTemp.constData(), QFile::encodeName(target).constData()) != 0) {
        fLastError =
            QStringLiteral("The new file could not replace the old one: %1.").arg(errnoText(errno));
        ::unlink(nativeTemp.constData());
        return false;
    }
    const int dirFd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }

    closeFile();
    fAtoms.clear();
    QString why;
    if (!openAndParse(&why)) {
        TROVIX_LOG() << "The rewritten file" << fPath << "could not be parsed again:" << why;
        fAtoms.clear();
    }
    return true;
}

bool AtomParser::save() {
    fLastError.clear();
    switch (rewrite()) {
    case WriteResult::Written:
        return true;
    case WriteResult::Failed:
        return false;
    case WriteResult::DoesNotFit:
        break;
    }
    return rewriteNew();
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
