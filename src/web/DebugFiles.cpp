#include "web/DebugFiles.h"

#include <QFile>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::atomic<int> gDebugFileNum{0};

namespace {

QMutex gFolderMutex;
QString gFolder;

bool ownedRegular(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

// Opens the dump for writing without ever following a link or touching
// someone else's file; -1 when the name must be left alone.
int openDumpFile(const QByteArray& path) {
    // O_NONBLOCK keeps a planted FIFO from blocking us; it is harmless on a
    // regular file.
    int fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || !ownedRegular(st) || ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return -1;
        }
        ::fchmod(fd, 0600);
        return fd;
    }
    if (errno != ENOENT) return -1; // ELOOP for a link, EACCES, ENXIO for a FIFO, ...
    // O_EXCL: if someone plants the name in between, we lose the race safely.
    return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

QString DebugFileFolder() {
    {
        QMutexLocker guard(&gFolderMutex);
        if (!gFolder.isEmpty()) return gFolder;
    }
    const QString env = qEnvironmentVariable("TROVIX_DEBUG_DIR");
    return env.isEmpty() ? QStringLiteral("/tmp") : env;
}

void SetDebugFileFolder(const QString& folder) {
    QMutexLocker guard(&gFolderMutex);
    gFolder = folder;
}

int WriteDebugFile(const char* pattern, const QByteArray& bytes) {
    const int number = gDebugFileNum.fetch_add(1);
    if (!pattern) return -1;
    const char* slash = std::strrchr(pattern, '/');
    QByteArray name(slash ? slash + 1 : pattern);
    // Only "%d" is meant; anything else in a pattern is taken literally.
    name.replace("%d", QByteArray::number(number));
    if (name.isEmpty() || name == "." || name == "..") return -1;
    const QByteArray path = QFile::encodeName(DebugFileFolder()) + '/' + name;
    const int fd = openDumpFile(path);
    if (fd < 0) return -1;
    const bool ok = writeAll(fd, bytes.constData(), bytes.size());
    ::close(fd);
    return ok ? number : -1;
}

int WriteDebugFile(const char* pattern, const QString& text) {
    return WriteDebugFile(pattern, text.toLatin1());
}

void CleanUpDebugFiles() {
    const QByteArray folder = QFile::encodeName(DebugFileFolder());
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (struct dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "Trovix", 6) != 0) continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !ownedRegular(st))
            continue;
        // Should the name be swapped for a link meanwhile, unlink removes the
        // link itself, never its target.
        ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}
