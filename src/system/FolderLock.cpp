#include "system/FolderLock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FolderLock::~FolderLock() {
    unlock();
}

FolderLock::Code FolderLock::tryLock(const QString& folder) {
    unlock();
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        fError = QString::fromLocal8Bit(std::strerror(errno));
        return Code::Failed;
    }
    // Each open has its own lock, so a second save in this process is
    // refused just like one in another process.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return Code::Busy;
        fError = QString::fromLocal8Bit(std::strerror(err));
        return Code::Failed;
    }
    fFd = fd;
    return Code::Locked;
}

void FolderLock::unlock() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
}
