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

bool FileStretch::holds(uint64_t offset, size_t length) const {
    const auto held = uint64_t(fBytes.size());
    return offset >= fAt && offset - fAt <= held && length <= held - (offset - fAt);
}

bool FileStretch::readAt(char* data, size_t length, uint64_t offset) const {
    if (holds(offset, length)) {
        if (length > 0) std::memcpy(data, fBytes.constData() + (offset - fAt), length);
        return true;
    }
    const auto held = [&] {
        const auto past = uint64_t(fPast.size());
        return offset >= fPastAt && offset - fPastAt <= past && length <= past - (offset - fPastAt);
    };
    if (length <= fLength && !held() && offset < fSize) {
        const uint64_t wanted = std::min<uint64_t>(fSize - offset, fLength);
        fPast.resize(qsizetype(wanted));
        fPastAt = offset;
        if (!FileIO::readAt(fFd, fPast.data(), size_t(wanted), offset)) fPast.clear();
    }
    if (held()) {
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
