#include "system/Durable.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace Durable {

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

int openFolder(const QByteArray& path) {
    return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool syncFolder(const QByteArray& path) {
    const int fd = openFolder(path);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool syncFolderOf(const QString& path) {
    return syncFolder(QFile::encodeName(QFileInfo(path).path()));
}

void closeElsewhere(std::vector<int> fds) {
    const auto closeAll = [](const std::vector<int>& all) {
        for (const int fd : all)
            ::close(fd);
    };
    try {
        std::thread([fds, closeAll] { closeAll(fds); }).detach();
    } catch (const std::system_error&) {
        closeAll(fds);
    }
}

} // namespace Durable
