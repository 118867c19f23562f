#include "media/FileIO.h"

#include "system/Durable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace FileIO {

bool readAt(int fd, char* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO; // the file is shorter than it was
            return false;
        }
        data += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

int openAsOpened(const QByteArray& path, const struct stat& opened) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && sameFile(st, opened)) return fd;
    ::close(fd);
    return -1;
}

bool holdsAt(int fd, QByteArrayView bytes, uint64_t offset) {
    // A buffer of each thread's own, large enough for most covers in one
    // read: in 16 KB pieces a 100 KB cover took seven, and a buffer of
    // its size made afresh cost as much again in page faults.
    constexpr size_t kPiece = 256 * 1024;
    thread_local std::vector<char> piece;
    piece.resize(std::min(kPiece, size_t(bytes.size())));
    for (qsizetype at = 0; at < bytes.size();) {
        const size_t n = std::min(size_t(bytes.size() - at), piece.size());
        if (!readAt(fd, piece.data(), n, offset + uint64_t(at)) ||
            std::memcmp(piece.data(), bytes.data() + at, n) != 0)
            return false;
        at += qsizetype(n);
    }
    return true;
}

bool writeAt(int fd, const char* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

QString saveTarget(const QString& path, struct stat* seen) {
    // One lstat, not the several look-ups of QFileInfo: this runs for every
    // file of a save.
    struct stat own {};
    struct stat* st = seen ? seen : &own;
    if (::lstat(QFile::encodeName(path).constData(), st) != 0) return {};
    if (S_ISLNK(st->st_mode)) {
        const QString target = QFileInfo(path).canonicalFilePath();
        if (target.isEmpty() || ::stat(QFile::encodeName(target).constData(), st) != 0) return {};
        return target;
    }
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QFileInfo(path).absoluteFilePath();
}

QString whyNotOpened(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("You do not have permission to change the file.");
    case EROFS:
        return QStringLiteral("The file is on a read-only disk.");
    case ENOENT:
        return QStringLiteral("The file is no longer there.");
    default:
        return QStringLiteral("The file could not be opened: %1.").arg(Durable::errnoText(error));
    }
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

ClosedAtExit::~ClosedAtExit() {
    if (fd >= 0) ::close(fd);
}

} // namespace FileIO
