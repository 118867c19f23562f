#include "system/FolderHandle.h"

#include "system/Durable.h"
#include "system/MoveFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The names handed to the system end in a NUL; a view need not.
QByteArray terminated(QByteArrayView name) {
    return name.toByteArray();
}

} // namespace

FolderHandle::~FolderHandle() {
    close();
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fFd(other.fFd), fStat(other.fStat) {
    other.fFd = -1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        close();
        fFd = other.fFd;
        fStat = other.fStat;
        other.fFd = -1;
    }
    return *this;
}

bool FolderHandle::open(const QString& path) {
    close();
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (::fstat(fd, &fStat) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    fFd = fd;
    return true;
}

void FolderHandle::close() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
}

int FolderHandle::openFile(QByteArrayView name, int flags, struct stat* st) const {
    if (!isPlainName(name) || (flags & O_CREAT)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // Only a regular file is opened at all: opening a device can act.
    const QByteArray path = terminated(name);
    struct stat before {};
    if (::fstatat(fFd, path.constData(), &before, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    if (!S_ISREG(before.st_mode)) {
        errno = S_ISLNK(before.st_mode) ? ELOOP : EINVAL;
        return -1;
    }
    // Non-blocking, so that a FIFO swapped in meanwhile cannot hang us.
    const int fd =
        ::openat(fFd, path.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat own {};
    struct stat* out = st ? st : &own;
    if (::fstat(fd, out) != 0 || !S_ISREG(out->st_mode)) {
        const int error = S_ISREG(out->st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    // The caller's flags without O_NONBLOCK: F_SETFL sets only the status
    // flags among them (O_APPEND, O_DIRECT...), so none need asking for.
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

int FolderHandle::createFile(QByteArrayView name, int flags, mode_t mode) const {
    if (!isPlainName(name)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return ::openat(fFd, terminated(name).constData(),
                    flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool FolderHandle::statAt(QByteArrayView name, struct stat* st) const {
    return isPlainName(name) &&
           ::fstatat(fFd, terminated(name).constData(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FolderHandle::remove(QByteArrayView name) const {
    return isPlainName(name) && ::unlinkat(fFd, terminated(name).constData(), 0) == 0;
}

Outcome FolderHandle::move(QByteArrayView from, QByteArrayView to) const {
    if (!isPlainName(from) || !isPlainName(to))
        return Outcome::failed(QStringLiteral("not a plain name"));
    return moveWithoutReplacingAt(fFd, terminated(from).constData(), fFd,
                                  terminated(to).constData());
}

bool FolderHandle::sync() const {
    return fFd >= 0 && ::fsync(fFd) == 0;
}

std::vector<QByteArray> FolderHandle::names() const {
    std::vector<QByteArray> out;
    // A descriptor of its own: closedir() closes it, and its reading
    // position is not shared with ours (a fresh open of "." is).
    const int fd = ::openat(fFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return out;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return out;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..") out.emplace_back(name.toByteArray());
    }
    ::closedir(dir);
    return out;
}

bool FolderHandle::isPlainName(QByteArrayView name) {
    if (name.isEmpty() || name.size() > 255 || name == "." || name == "..") return false;
    for (const char c : name)
        if (c == '/' || uchar(c) < 0x20 || c == 0x7F) return false;
    return true;
}

bool FolderHandle::isReservedName(QByteArrayView name) {
    // Every name a save makes for itself holds ".trovix-" after a leading
    // dot: ".trovix-renames", ".trovix-rollback3-1-2.journal",
    // ".trovix-12-0.mp3", ".song.mp3.trovix-12.tmp".
    return isLeftBySave(name) || name == "Trovix Backups";
}

bool FolderHandle::isLeftBySave(QByteArrayView name) {
    return name.startsWith('.') && name.contains(QByteArrayView(".trovix-"));
}

QString FolderHandle::whyNot(int error) {
    switch (error) {
    case ELOOP:
        return QStringLiteral("it is a symbolic link");
    case EINVAL:
        return QStringLiteral("it is not an ordinary file");
    case ENAMETOOLONG:
        return QStringLiteral("its name is not a plain name in the folder");
    case ENOENT:
        return QStringLiteral("it is no longer there");
    default:
        return Durable::errnoText(error);
    }
}
