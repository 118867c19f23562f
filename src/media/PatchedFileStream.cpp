#include "media/PatchedFileStream.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

PatchedFileStream::PatchedFileStream(int fd, const QByteArray& name, uint64_t length,
                                     uint64_t patchAt, const QByteArray& patch,
                                     uint64_t patchLength)
    : fFd(fd), fName(name), fLength(length), fPatchAt(patchAt), fPatch(patch),
      fPatchLength(std::max<uint64_t>(patchLength, uint64_t(patch.size()))) {}

TagLib::ByteVector PatchedFileStream::readBlock(unsigned long length) {
    uint64_t n = fPos >= fLength ? 0 : std::min<uint64_t>(length, fLength - fPos);
    const uint64_t patchBytesEnd = fPatchAt + uint64_t(fPatch.size());
    if (fTrimZeros && fPos >= fPatchAt && fPos < patchBytesEnd && fPos + n > patchBytesEnd &&
        fPos + n <= fPatchAt + fPatchLength)
        n = patchBytesEnd - fPos;
    fLargestBlock = std::max(fLargestBlock, n);
    TagLib::ByteVector block(unsigned(n), '\0');
    // The part of the block the patch covers comes from the patch; only the
    // file's bytes around it are read.
    const uint64_t patchEnd = fPatchAt + fPatchLength;
    const uint64_t from = std::max(fPos, fPatchAt);
    const uint64_t to = std::min(fPos + n, patchEnd);
    const uint64_t head = from < to ? from - fPos : n;
    uint64_t got = readFile(block.data(), fPos, head);
    if (got == head && from < to) {
        // Past the patch's bytes the block keeps the zeros it was made with.
        const uint64_t patched = std::min(to, fPatchAt + uint64_t(fPatch.size()));
        if (from < patched)
            std::copy_n(fPatch.constData() + (from - fPatchAt), patched - from,
                        block.data() + head);
        got = to - fPos;
        got += readFile(block.data() + got, to, fPos + n - to);
    }
    block.resize(unsigned(got));
    fPos += got;
    return block;
}

uint64_t PatchedFileStream::readFile(char* data, uint64_t at, uint64_t n) const {
    uint64_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fFd, data + got, size_t(n - got), off_t(at + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += uint64_t(r);
    }
    return got;
}

void PatchedFileStream::seek(long offset, Position p) {
    int64_t base = 0;
    if (p == Current) base = int64_t(fPos);
    if (p == End) base = int64_t(fLength);
    fPos = uint64_t(std::max<int64_t>(0, base + offset));
}
