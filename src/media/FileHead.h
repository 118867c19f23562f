#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// A file read at offsets through one read of its first bytes. A format's
// metadata read field by field (a signature, block headers, the stream
// information) then costs one system call for all that lies in the head;
// reads beyond it go to the file.
class FileHead {
public:
    // Enough for the headers and the first small blocks, and cheap to copy.
    static constexpr size_t kLength = 4096;

    // Reads up to `length` bytes from the start of the file, which is `size`
    // bytes long. When that read fails, every read goes to the file.
    FileHead(int fd, uint64_t size, size_t length = kLength);

    int fd() const { return fFd; }
    uint64_t size() const { return fSize; }
    // As FileIO::readAt.
    bool readAt(char* data, size_t length, uint64_t offset) const;
    // `length` bytes at `offset`; empty when they cannot be read.
    QByteArray bytes(uint64_t offset, uint64_t length) const;

private:
    int fFd;
    uint64_t fSize;
    QByteArray fHead;
};
