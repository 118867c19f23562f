#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>

// The few raw file operations the save path is built from: whole reads and
// writes that retry after interruptions and short transfers, and the check
// that a file is still the one that was read.
namespace FileIO {

// False on an error or when the file ends first (errno EIO then).
bool readAt(int fd, char* data, size_t size, uint64_t offset);
bool writeAt(int fd, const char* data, size_t size, uint64_t offset);
bool writeAll(int fd, const char* data, size_t size);

QString errnoText(int error);
// Why a music file could not be opened for writing, for the user.
QString whyNotOpened(int error);

// The same file with the same content as far as the inode can tell: device,
// inode, size and modification time (to the nanosecond).
bool sameFile(const struct stat& a, const struct stat& b);

// The descriptor of a folder, for fsync and syncfs; -1 when it cannot be opened.
int openFolder(const QByteArray& path);
// fsync of a folder, so that a name made or removed there lasts.
bool syncFolder(const QByteArray& path);

// Closes a descriptor when the scope ends.
struct ClosedAtExit {
    const int fd;
    explicit ClosedAtExit(int descriptor) : fd(descriptor) {}
    ClosedAtExit(const ClosedAtExit&) = delete;
    ClosedAtExit& operator=(const ClosedAtExit&) = delete;
    ~ClosedAtExit();
};

} // namespace FileIO
