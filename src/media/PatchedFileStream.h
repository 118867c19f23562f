#pragma once

#include <QByteArray>

#include <taglib/tiostream.h>

#include <cstdint>

// A read-only TagLib stream over an open file in which one range of bytes
// reads as other bytes of the same length: TagLib parses the screened ID3v2
// tag (see Id3TagScreen) where the stored one lies, and the file itself is
// never changed. The descriptor stays the caller's. A patch shorter than the
// range it covers (`patchLength`) reads on as zeros, which the patch need
// not hold: a tag whose cover was taken out is mostly such zeros.
class PatchedFileStream : public TagLib::IOStream {
public:
    PatchedFileStream(int fd, const QByteArray& name, uint64_t length, uint64_t patchAt,
                      const QByteArray& patch, uint64_t patchLength);

    // A block that starts in the patch's bytes and would end in the zeros
    // after them ends with the patch instead. For a patch that is a plain
    // ID3v2 tag (no footer) with its frames first: TagLib's parse stops at
    // the end of its block as it stops at zeros, and the block it keeps
    // (its frames share it) is no larger than the patch.
    void trimZeros() { fTrimZeros = true; }
    // The largest block read so far: what TagLib's objects may keep alive.
    uint64_t largestBlock() const { return fLargestBlock; }

    TagLib::FileName name() const override { return fName.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return fFd >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return long(fPos); }
    long length() override { return long(fLength); }
    void truncate(long) override {}

private:
    // Up to n bytes of the file at `at`; fewer where it ends or fails.
    uint64_t readFile(char* data, uint64_t at, uint64_t n) const;

    int fFd;
    QByteArray fName;
    uint64_t fLength;
    uint64_t fPatchAt;
    QByteArray fPatch;
    uint64_t fPatchLength;
    uint64_t fPos = 0;
    bool fTrimZeros = false;
    uint64_t fLargestBlock = 0;
};
