#include "media/SavePlan.h"

#include "system/Durable.h"

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

// Equal bytes that split a change into two regions: fewer would cost more
// in region headers and syscalls than they save.
constexpr qsizetype kGap = kBlock;

// A span worth cutting out of its array in place rather than copying.
bool fillsMost(qsizetype size, qsizetype span) {
    return size - span <= std::max<qsizetype>(span / 4, kBlock);
}

void SavePlan::addChangedBytes(uint64_t offset, QByteArray old, QByteArray now) {
    const qsizetype shared = qMin(old.size(), now.size());
    const char* a = old.constData();
    const char* b = now.constData();
    // The changed spans, split where at least kGap bytes agree (an
    // unchanged cover between two changed tags, say).
    std::vector<std::pair<qsizetype, qsizetype>> spans;
    qsizetype pos = commonStart(a, b, shared);
    while (pos < shared) {
        const qsizetype start = pos;
        qsizetype end = shared;
        while (pos < shared) {
            // Word by word to the next agreeing word, then back to where the
            // agreement starts.
            uint64_t x = 0, y = 0;
            if (pos + 8 <= shared) {
                std::memcpy(&x, a + pos, 8);
                std::memcpy(&y, b + pos, 8);
                if (x != y) {
                    pos += 8;
                    continue;
                }
            } else if (a[pos] != b[pos]) {
                ++pos;
                continue;
            }
            qsizetype run = pos;
            while (run > start && a[run - 1] == b[run - 1])
                --run;
            const qsizetype equal = commonStart(a + run, b + run, shared - run);
            if (equal >= kGap || run + equal == shared) {
                end = run;
                pos = run + equal;
                break;
            }
            pos = run + equal;
        }
        spans.emplace_back(start, end);
    }
    // Bytes past the old file's end are all new; they join the last span
    // unless a long agreeing run lies before them.
    if (now.size() > shared) {
        if (!spans.empty() &&
            (spans.back().second == shared || shared - spans.back().second < kGap))
            spans.back().second = now.size();
        else
            spans.emplace_back(shared, now.size());
    }
    if (spans.empty()) return;
    // Cut to the changed span in place where one span is most of its array:
    // taking bytes off the front of an array nobody else holds moves no
    // bytes, where a copy would copy the whole span (a cover, often). Other
    // spans are copied, so that the plan does not hold the rest (padding,
    // or an unchanged cover).
    size_t kept = spans.size();
    for (size_t i = 0; i < spans.size() && kept == spans.size(); ++i)
        if (fillsMost(now.size(), spans[i].second - spans[i].first)) kept = i;
    const size_t first = regions.size();
    for (size_t i = 0; i < spans.size(); ++i) {
        if (i == kept) {
            regions.push_back({});
            continue;
        }
        const auto [from, to] = spans[i];
        regions.push_back({offset + uint64_t(from), now.mid(from, to - from),
                           old.mid(from, qMin(to, old.size()) - from)});
    }
    if (kept == spans.size()) return;
    const qsizetype from = spans[kept].first, to = spans[kept].second;
    auto cut = [from](QByteArray& bytes, qsizetype end) {
        if (!fillsMost(bytes.size(), end - from)) {
            bytes = bytes.mid(from, end - from);
            return;
        }
        bytes.truncate(end);
        bytes.remove(0, from);
    };
    SaveRegion& region = regions[first + kept];
    region.offset = offset + uint64_t(from);
    cut(old, qMax(from, qMin(to, old.size())));
    cut(now, to);
    region.bytes = std::move(now);
    region.old = std::move(old);
}

Outcome SavePlan::notWritten(int error) {
    return Outcome::failed(
        QStringLiteral("The file could not be written: %1. It was left as it was.")
            .arg(Durable::errnoText(error)));
}
