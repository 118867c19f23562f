#include "media/FileStretch.h"

#include "media/FileIO.h"

#include <algorithm>
#include <cstring>

FileStretch::FileStretch(int fd, uint64_t size, uint64_t at, size_t length)
    : fFd(fd), fSize(size), fAt(at), fLength(length) {
    const uint64_t wanted = at < size ? std::min<uint64_t>(size - at, length) : 0;
    fBytes.resize(qsizetype(wanted));
    if (!FileIO::readAt(fd, fBytes.data(), size_t(wanted), at)) fBytes.clear();
}

FileStretch::FileStretch(const FileStretch& file, uint64_t at, size_t length)
    : fFd(file.fFd), fSize(file.fSize), fAt(at), fLength(length) {
    const uint64_t wanted = at < fSize ? std::min<uint64_t>(fSize - at, length) : 0;
    fBytes.resize(qsizetype(wanted));
    if (!file.readAt(fBytes.data(), size_t(wanted), at)) fBytes.clear();
}

namespace {

// Whether `length` bytes at `offset` lie in `bytes`, read at `at`.
bool within(const QByteArray& bytes, uint64_t at, uint64_t offset, size_t length) {
    const auto held = uint64_t(bytes.size());
    return offset >= at && offset - at <= held && length <= held - (offset - at);
}

} // namespace

bool FileStretch::holds(uint64_t offset, size_t length) const {
    return within(fBytes, fAt, offset, length);
}

bool FileStretch::readAt(char* data, size_t length, uint64_t offset) const {
    if (holds(offset, length)) {
        if (length > 0) std::memcpy(data, fBytes.constData() + (offset - fAt), length);
        return true;
    }
    if (length <= fLength && !within(fPast, fPastAt, offset, length) && offset < fSize) {
        const uint64_t wanted = std::min<uint64_t>(fSize - offset, fLength);
        fPast.resize(qsizetype(wanted));
        fPastAt = offset;
        if (!FileIO::readAt(fFd, fPast.data(), size_t(wanted), offset)) fPast.clear();
    }
    if (within(fPast, fPastAt, offset, length)) {
        if (length > 0) std::memcpy(data, fPast.constData() + (offset - fPastAt), length);
        return true;
    }
    return FileIO::readAt(fFd, data, length, offset);
}

QByteArray FileStretch::bytes(uint64_t offset, uint64_t length) const {
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    if (!readAt(out.data(), size_t(length), offset)) return {};
    return out;
}
