#include "system/FolderLock.h"

#include "system/Durable.h"
#include "system/Log.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FolderLock::~FolderLock() {
    unlock();
}

Outcome FolderLock::tryLock(const QString& folder) {
    unlock();
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        return Outcome::failed(QStringLiteral("The folder could not be opened for saving: %1.")
                                   .arg(Durable::errnoText(err)));
    }
    // Each open has its own lock, so a second save in this process is
    // refused just like one in another process.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        if (err == EWOULDBLOCK) {
            ::close(fd);
            return Outcome::busy(
                QStringLiteral("This folder is being saved by another Trovix process."));
        }
        // Some network and user-space file systems keep no locks: saving
        // there goes on unguarded rather than not at all.
        TROVIX_LOG() << "No lock on" << folder << ":" << std::strerror(err);
        break;
    }
    fFd = fd;
    return Outcome::done();
}

void FolderLock::unlock() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
}
