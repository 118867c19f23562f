#include "media/SavePlan.h"

void SavePlan::addChangedBytes(uint64_t offset, const QByteArray& old, const QByteArray& now) {
    qsizetype first = 0;
    qsizetype end = qMin(old.size(), now.size());
    while (first < end && old[first] == now[first])
        ++first;
    if (first == end && old.size() == now.size()) return;
    qsizetype last = now.size();
    if (old.size() == now.size())
        while (last > first && old[last - 1] == now[last - 1])
            --last;
    regions.push_back({offset + uint64_t(first), now.mid(first, last - first),
                       old.mid(first, qMin(last, old.size()) - first)});
}
