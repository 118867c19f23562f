#include "media/FileHead.h"

#include "media/FileIO.h"

#include <algorithm>
#include <cstring>

FileHead::FileHead(int fd, uint64_t size, size_t length) : fFd(fd), fSize(size) {
    const auto wanted = qsizetype(std::min<uint64_t>(size, length));
    fHead.resize(wanted);
    if (!FileIO::readAt(fd, fHead.data(), size_t(wanted), 0)) fHead.clear();
}

bool FileHead::readAt(char* data, size_t length, uint64_t offset) const {
    const auto held = uint64_t(fHead.size());
    if (offset <= held && length <= held - offset) {
        if (length > 0) std::memcpy(data, fHead.constData() + offset, length);
        return true;
    }
    return FileIO::readAt(fFd, data, length, offset);
}

QByteArray FileHead::bytes(uint64_t offset, uint64_t length) const {
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    if (!readAt(out.data(), size_t(length), offset)) return {};
    return out;
}
