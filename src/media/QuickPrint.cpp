#include "media/QuickPrint.h"

#include "media/FileIO.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr size_t kPrintBlock = 64 * 1024;
} // namespace

void QuickPrint::addBlock(const char* bytes, size_t length) {
    for (size_t& lane : fLanes)
        lane = qHashBits(bytes, length, lane);
}

void QuickPrint::addData(const char* bytes, size_t length) {
    fLength += length;
    if (!fBlock.isEmpty()) {
        const size_t taken = std::min(length, kPrintBlock - size_t(fBlock.size()));
        fBlock.append(bytes, qsizetype(taken));
        bytes += taken;
        length -= taken;
        if (size_t(fBlock.size()) < kPrintBlock) return;
        addBlock(fBlock.constData(), kPrintBlock);
        fBlock.clear();
    }
    for (; length >= kPrintBlock; bytes += kPrintBlock, length -= kPrintBlock)
        addBlock(bytes, kPrintBlock);
    if (length > 0) fBlock.append(bytes, qsizetype(length));
}

QByteArray QuickPrint::result() {
    if (!fBlock.isEmpty()) addBlock(fBlock.constData(), size_t(fBlock.size()));
    fBlock.clear();
    return digest();
}

// The length and both lanes as bytes: prints are compared, never shown.
QByteArray QuickPrint::digest() const {
    const quint64 words[] = {fLength, quint64(fLanes[0]), quint64(fLanes[1])};
    return QByteArray(reinterpret_cast<const char*>(words), qsizetype(sizeof words));
}

// In the blocks addData would make of the same bytes.
QByteArray QuickPrint::of(const char* bytes, size_t length) {
    QuickPrint print;
    print.fLength = length;
    for (; length > kPrintBlock; bytes += kPrintBlock, length -= kPrintBlock)
        print.addBlock(bytes, kPrintBlock);
    if (length > 0) print.addBlock(bytes, length);
    return print.digest();
}

QByteArray QuickPrint::ofEnds(int fd, uint64_t from, uint64_t length, uint64_t edge) {
    // Planning and checking a save print every file twice: a buffer made
    // afresh each time, and the ends copied again into the print's block,
    // cost as much as reading them.
    thread_local std::vector<char> buffer;
    const uint64_t end = std::min(length, edge);
    buffer.resize(sizeof length + 2 * end);
    std::memcpy(buffer.data(), &length, sizeof length);
    char* ends = buffer.data() + sizeof length;
    if (!FileIO::readAt(fd, ends, size_t(end), from) ||
        !FileIO::readAt(fd, ends + end, size_t(end), from + length - end))
        return {};
    return of(buffer.data(), buffer.size());
}
