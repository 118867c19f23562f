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

FolderLock::Code FolderLock::tryLock(const QString& folder) {
    unlock();
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        fError = Durable::errnoText(errno);
        return Code::Failed;
    }
    // Each open has its own lock, so a second save in this process is
    // refused just like one in another process.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        if (err == EWOULDBLOCK) {
            ::close(fd);
            return Code::Busy;
        }
        // Some network and user-space file systems keep no locks: saving
        // there goes on unguarded rather than not at all.
        TROVIX_LOG() << "No lock on" << folder << ":" << std::strerror(err);
        break;
    }
    fFd = fd;
    return Code::Locked;
}

void FolderLock::unlock() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
}

QString FolderLock::refusal(Code code) const {
    return code == Code::Busy
               ? kBusyMessage
               : QStringLiteral("The folder could not be opened for saving: %1.").arg(fError);
}
