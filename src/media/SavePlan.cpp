#include "media/SavePlan.h"

#include <algorithm>
#include <cstring>

constexpr qsizetype kBlock = 4096;

qsizetype commonStart(const char* a, const char* b, qsizetype n) {
    qsizetype i = 0;
    while (i + kBlock <= n && std::memcmp(a + i, b + i, size_t(kBlock)) == 0)
        i += kBlock;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

qsizetype commonEnd(const char* a, const char* b, qsizetype n) {
    qsizetype i = 0;
    while (i + kBlock <= n &&
           std::memcmp(a + n - i - kBlock, b + n - i - kBlock, size_t(kBlock)) == 0)
        i += kBlock;
    while (i < n && a[n - i - 1] == b[n - i - 1])
        ++i;
    return i;
}

void SavePlan::addChangedBytes(uint64_t offset, QByteArray old, QByteArray now) {
    const qsizetype shared = qMin(old.size(), now.size());
    const qsizetype first = commonStart(old.constData(), now.constData(), shared);
    if (first == shared && old.size() == now.size()) return;
    qsizetype last = now.size();
    if (old.size() == now.size())
        last -= commonEnd(old.constData() + first, now.constData() + first, shared - first);
    // Cut to the changed span in place: taking bytes off the front of an
    // array nobody else holds moves no bytes, where a copy would copy the
    // whole span (a cover, often). A span much shorter than its array is
    // copied, so that the plan does not hold the rest (padding, say).
    auto cut = [first](QByteArray& bytes, qsizetype end) {
        const qsizetype span = end - first;
        if (bytes.size() - span > std::max<qsizetype>(span / 4, kBlock)) {
            bytes = bytes.mid(first, span);
            return;
        }
        bytes.truncate(end);
        bytes.remove(0, first);
    };
    cut(old, qMin(last, old.size()));
    cut(now, last);
    regions.push_back({offset + uint64_t(first), std::move(now), std::move(old)});
}
