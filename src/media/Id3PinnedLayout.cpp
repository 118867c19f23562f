#include "media/Id3PinnedLayout.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

constexpr qsizetype kHeader = 10;
// The room in front of the pictures is filled by a search over its sizes;
// tags with more in front than this are left as they are laid out.
constexpr qsizetype kLargestRoom = 16 * 1024;
// Frames beyond this many are never put in front.
constexpr size_t kCandidates = 48;

qint64 frameSize(const uchar* p, int version) {
    const int shift = version == 4 ? 7 : 8;
    return (qint64(p[0]) << (3 * shift)) | (qint64(p[1]) << (2 * shift)) | (qint64(p[2]) << shift) |
           qint64(p[3]);
}

void putFrameSize(QByteArray& frame, qint64 size, int version) {
    const int shift = version == 4 ? 7 : 8;
    const int mask = version == 4 ? 0x7F : 0xFF;
    for (int i = 0; i < 4; ++i)
        frame[4 + i] = char((size >> ((3 - i) * shift)) & mask);
}

// How many bytes one terminator adds to a plain text frame ("TIT2" and
// the like, no flags): 1 for ISO-8859-1 and UTF-8, 2 for UTF-16; 0 for any
// other frame, which is never lengthened.
qsizetype terminatorOf(const QByteArray& frame) {
    if (frame.size() <= kHeader || frame[0] != 'T' || frame.startsWith("TXXX") || frame[8] != 0 ||
        frame[9] != 0)
        return 0;
    qsizetype grow = 0;
    switch (frame[kHeader]) {
    case 0:
    case 3:
        grow = 1;
        break;
    case 1:
    case 2:
        grow = 2;
        break;
    default:
        return 0;
    }
    // One that ends in a terminator already keeps its length: a second
    // would read as an empty value after the first.
    const qsizetype text = frame.size() - kHeader - 1;
    if (text >= grow && text % grow == 0 &&
        std::all_of(frame.end() - grow, frame.end(), [](char c) { return c == 0; }))
        return 0;
    return grow;
}

} // namespace

void Id3PinnedLayout::orderBySignificance(std::vector<QByteArray>& frames) {
    static const char* const kFirst[] = {"TIT2", "TPE1", "TALB", "TRCK",
                                         "TPOS", "TDRC", "TYER", "TCON"};
    const auto rank = [](const QByteArray& frame) {
        for (size_t i = 0; i < std::size(kFirst); ++i)
            if (frame.startsWith(kFirst[i])) return i;
        return std::size(kFirst);
    };
    std::stable_sort(
        frames.begin(), frames.end(),
        [&rank](const QByteArray& a, const QByteArray& b) { return rank(a) < rank(b); });
}

std::vector<QByteArray> Id3PinnedLayout::splitFrames(QByteArrayView area, int version) {
    std::vector<QByteArray> frames;
    qsizetype at = 0;
    while (at + kHeader <= area.size() && area[at] != '\0') {
        const auto* p = reinterpret_cast<const uchar*>(area.data() + at + 4);
        if (version == 4 && ((p[0] | p[1] | p[2] | p[3]) & 0x80)) return {};
        const qint64 size = frameSize(p, version);
        if (size == 0 || size > area.size() - at - kHeader) return {};
        frames.emplace_back(area.data() + at, qsizetype(kHeader + size));
        at += kHeader + qsizetype(size);
    }
    for (qsizetype i = at; i < area.size(); ++i)
        if (area[i] != '\0') return {};
    return frames;
}

QByteArray Id3PinnedLayout::frameArea(const Input& in) {
    qsizetype picturesSize = 0;
    for (const QByteArrayView piece : in.pictures)
        picturesSize += piece.size();
    const qsizetype room = in.picturesAt - kHeader;
    const qsizetype area = in.tagLength - kHeader;
    if (room < 0 || room > kLargestRoom || picturesSize == 0 ||
        in.picturesAt + picturesSize > in.tagLength)
        return {};

    // score[s]: the best set of frames in front that fills s bytes, scored
    // so that an earlier frame outweighs all later ones together; how tells
    // for each frame how it was taken to reach s (0 not, 1 as it is, 2 with
    // a terminator), so the best set can be walked back.
    const size_t n = std::min(in.frames.size(), kCandidates);
    const size_t width = size_t(room) + 1;
    std::vector<int64_t> score(width, -1);
    score[0] = 0;
    std::vector<uint8_t> how(n * width, 0);
    for (size_t i = 0; i < n; ++i) {
        const qsizetype size = in.frames[i].size();
        const qsizetype grow = terminatorOf(in.frames[i]);
        const int64_t weight = int64_t(1) << (kCandidates - i);
        std::vector<int64_t> next = score;
        for (qsizetype s = 0; s <= room; ++s) {
            if (score[size_t(s)] < 0) continue;
            for (const uint8_t way : {uint8_t(1), uint8_t(2)}) {
                if (way == 2 && grow == 0) continue;
                const qsizetype to = s + size + (way == 2 ? grow : 0);
                if (to > room) continue;
                const int64_t sc = score[size_t(s)] + weight;
                if (sc > next[size_t(to)]) {
                    next[size_t(to)] = sc;
                    how[i * width + size_t(to)] = way;
                }
            }
        }
        score = std::move(next);
    }

    // The best fill: exact, or leaving the own frame the rest.
    qsizetype filled = -1;
    QByteArray filler;
    for (qsizetype s = room; s >= 0; --s) {
        if (score[size_t(s)] < 0) continue;
        if (filled >= 0 && score[size_t(s)] <= score[size_t(filled)]) continue;
        const bool exact = s == room;
        if (!exact && (in.fillerMin < 0 || !in.filler || room - s < in.fillerMin)) continue;
        QByteArray own = exact ? QByteArray() : in.filler(room - s);
        if (!exact && own.size() != room - s) continue;
        filled = s;
        filler = std::move(own);
    }
    if (filled < 0) return {};
    std::vector<uint8_t> way(in.frames.size(), 0);
    for (size_t i = n, s = size_t(filled); i-- > 0;) {
        way[i] = how[i * width + s];
        if (way[i] != 0)
            s -= size_t(in.frames[i].size() + (way[i] == 2 ? terminatorOf(in.frames[i]) : 0));
    }

    const QByteArray ownBehind =
        filler.isNull() && in.fillerMin >= 0 && in.filler ? in.filler(in.fillerMin) : QByteArray();
    if (filler.isNull() && in.fillerMin >= 0 && ownBehind.size() != in.fillerMin) return {};
    qsizetype behind = ownBehind.size();
    for (size_t i = 0; i < in.frames.size(); ++i)
        if (way[i] == 0) behind += in.frames[i].size();
    if (room + picturesSize + behind > area) return {};

    QByteArray out;
    out.reserve(in.lead.size() + area);
    out.append(in.lead);
    for (size_t i = 0; i < in.frames.size(); ++i) {
        if (way[i] == 0) continue;
        QByteArray frame = in.frames[i];
        if (way[i] == 2) {
            const qsizetype grow = terminatorOf(frame);
            frame.append(grow, '\0');
            putFrameSize(frame, frame.size() - kHeader, in.version);
        }
        out += frame;
    }
    out += filler;
    for (const QByteArrayView piece : in.pictures)
        out.append(piece.data(), piece.size());
    for (size_t i = 0; i < in.frames.size(); ++i)
        if (way[i] == 0) out += in.frames[i];
    out += ownBehind;
    const qsizetype length = in.lead.size() + area;
    if (out.size() > length) return {};
    out.append(length - out.size(), '\0');
    return out;
}
