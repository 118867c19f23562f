#include "media/QuickPrint.h"

#include <QHash>

#include <algorithm>

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
    QByteArray print = QByteArray::number(fLength);
    for (const size_t lane : fLanes)
        print += ':' + QByteArray::number(quint64(lane), 16);
    return print;
}
