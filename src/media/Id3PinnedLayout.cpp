#include "media/Id3PinnedLayout.h"

#include <algorithm>

namespace {
constexpr qsizetype kHeader = 10;
}

std::vector<QByteArray> Id3PinnedLayout::splitFrames(QByteArrayView area, int version) {
    std::vector<QByteArray> frames;
    qsizetype at = 0;
    while (at + kHeader <= area.size() && area[at] != '\0') {
        const auto* p = reinterpret_cast<const uchar*>(area.data() + at + 4);
        const bool syncSafe = version == 4;
        if (syncSafe && ((p[0] | p[1] | p[2] | p[3]) & 0x80)) return {};
        const int shift = syncSafe ? 7 : 8;
        const qint64 size = (qint64(p[0]) << (3 * shift)) | (qint64(p[1]) << (2 * shift)) |
                            (qint64(p[2]) << shift) | qint64(p[3]);
        if (size == 0 || size > area.size() - at - kHeader) return {};
        frames.emplace_back(area.data() + at, qsizetype(kHeader + size));
        at += kHeader + qsizetype(size);
    }
    for (qsizetype i = at; i < area.size(); ++i)
        if (area[i] != '\0') return {};
    return frames;
}

QByteArray Id3PinnedLayout::frameArea(const Input& in) {
    const qsizetype before = in.picturesAt - kHeader; // room in front of the pictures
    const qsizetype area = in.tagLength - kHeader;
    if (before < 0 || in.pictures.isEmpty() || in.fillerMin < 0 || !in.filler ||
        in.fillerMin > before || in.picturesAt + in.pictures.size() > in.tagLength)
        return {};

    // In order, the frames that fit in front along with the own frame.
    std::vector<bool> inFront(in.frames.size(), false);
    qsizetype used = 0;
    for (size_t i = 0; i < in.frames.size(); ++i) {
        const qsizetype size = in.frames[i].size();
        if (used + size + in.fillerMin > before) continue;
        inFront[i] = true;
        used += size;
    }
    // The own frame may only come in whole characters: send one frame
    // behind the pictures, the last that helps; failing that, all of them.
    QByteArray filler = in.filler(before - used);
    for (size_t i = in.frames.size(); filler.size() != before - used && i-- > 0;) {
        if (!inFront[i]) continue;
        filler = in.filler(before - used + in.frames[i].size());
        if (filler.size() != before - used + in.frames[i].size()) continue;
        inFront[i] = false;
        used -= in.frames[i].size();
    }
    if (filler.size() != before - used) {
        std::fill(inFront.begin(), inFront.end(), false);
        used = 0;
        filler = in.filler(before);
    }
    if (filler.size() != before - used) return {};

    qsizetype behind = 0;
    for (size_t i = 0; i < in.frames.size(); ++i)
        if (!inFront[i]) behind += in.frames[i].size();
    if (before + in.pictures.size() + behind > area) return {};

    QByteArray out;
    out.reserve(area);
    for (size_t i = 0; i < in.frames.size(); ++i)
        if (inFront[i]) out += in.frames[i];
    out += filler;
    out.append(in.pictures.data(), in.pictures.size());
    for (size_t i = 0; i < in.frames.size(); ++i)
        if (!inFront[i]) out += in.frames[i];
    out.append(area - out.size(), '\0');
    return out;
}
