#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// A print of bytes that shows whether a save left them as they were: the
// audio a save must not touch, checked again after the write. Qt's hash in
// two lanes of different seeds (128 bits) over blocks of 64 KB, so the
// same bytes give the same print however they are handed in: many times
// the speed of a cryptographic digest, against mistakes rather than
// against someone who picks the bytes. Its value is only compared within
// one process (it differs between processors and Qt versions): never
// stored.
class QuickPrint {
public:
    void addData(const char* bytes, size_t length);
    void addData(const QByteArray& bytes) { addData(bytes.constData(), size_t(bytes.size())); }
    QByteArray result();

    // The print of bytes handed in at once, without copying them.
    static QByteArray of(const char* bytes, size_t length);
    // The print of the `length` bytes at `from` in `fd` by their length and
    // their first and last `edge` bytes, read into a buffer of the thread's
    // own: where a save leaves the audio in place, a write that strayed into
    // it, or moved or cut it, shows at its ends. Empty when unreadable.
    static QByteArray ofEnds(int fd, uint64_t from, uint64_t length, uint64_t edge);

private:
    void addBlock(const char* bytes, size_t length);
    QByteArray digest() const;

    QByteArray fBlock; // bytes waiting for a whole block
    size_t fLanes[2] = {0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu};
    quint64 fLength = 0;
};
