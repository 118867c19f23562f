#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// A stretch of a file read once, through which reads at offsets go: those
// that lie in it cost no system call. One past it reads a stretch as long
// there, which the reads after it use in turn (the block headers after a
// large picture, say); a read longer than that goes to the file. A format's
// metadata read field by field (a signature, block headers, the stream
// information) then costs one read for all that lies in a stretch.
class FileStretch {
public:
    // Reads up to `length` bytes at `at` of the file, which is `size` bytes
    // long. When that read fails, every read goes to the file.
    FileStretch(int fd, uint64_t size, uint64_t at, size_t length);
    // A stretch of the same file; bytes `file` already holds are copied,
    // not read again.
    FileStretch(const FileStretch& file, uint64_t at, size_t length);

    uint64_t size() const { return fSize; }
    // Whether `length` bytes at `offset` lie in the stretch read.
    bool holds(uint64_t offset, size_t length) const;
    // As FileIO::readAt.
    bool readAt(char* data, size_t length, uint64_t offset) const;
    // `length` bytes at `offset`; empty when they cannot be read.
    QByteArray bytes(uint64_t offset, uint64_t length) const;

private:
    int fFd;
    uint64_t fSize;
    uint64_t fAt;
    QByteArray fBytes;
    size_t fLength; // of a stretch, as asked for
    // The stretch read past this one last, if any.
    mutable uint64_t fPastAt = 0;
    mutable QByteArray fPast;
};
