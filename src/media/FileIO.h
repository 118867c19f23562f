#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>

// The raw file operations the formats read and write with (whole writes and
// folder syncs are in system/Durable.h): reads and writes at an offset that
// retry after interruptions and short transfers, and the check that a file
// is still the one that was read.
namespace FileIO {

// False on an error or when the file ends first (errno EIO then).
bool readAt(int fd, char* data, size_t size, uint64_t offset);
bool writeAt(int fd, const char* data, size_t size, uint64_t offset);
// Whether the file holds `bytes` at `offset`, read a piece at a time into
// a buffer the thread keeps. False on an error too.
bool holdsAt(int fd, QByteArrayView bytes, uint64_t offset);

// The file at `path` opened for reading, when it is still the regular file
// `opened` describes (see sameFile); -1 when it is not, or cannot be opened.
// Non-blocking, so that a FIFO put in its place cannot hang the caller.
int openAsOpened(const QByteArray& path, const struct stat& opened);

// The file a save of `path` writes: through a symbolic link, the file it
// points to (the link stays); else the path made absolute. Empty when
// there is no such file. `seen`, when given, receives that file's status.
QString saveTarget(const QString& path, struct stat* seen = nullptr);

// Why a music file could not be opened for writing, for the user.
QString whyNotOpened(int error);

// The same file with the same content as far as the inode can tell: device,
// inode, size and modification time (to the nanosecond).
bool sameFile(const struct stat& a, const struct stat& b);

// Closes a descriptor when the scope ends.
struct ClosedAtExit {
    const int fd;
    explicit ClosedAtExit(int descriptor) : fd(descriptor) {}
    ClosedAtExit(const ClosedAtExit&) = delete;
    ClosedAtExit& operator=(const ClosedAtExit&) = delete;
    ~ClosedAtExit();
};

} // namespace FileIO
