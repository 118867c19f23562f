#include "media/Id3FieldReader.h"

#include "media/BigEndian.h"
#include "media/FileStretch.h"
#include "media/Id3Fields.h"
#include "media/Id3TagScreen.h"

#include <algorithm>

namespace {

bool wanted(const char* id) {
    return Id3Fields::isRead(id);
}

// Four upper-case letters or digits, as TagLib checks a frame identifier.
bool validId(const QByteArray& id) {
    return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

// The tag's frame area (behind its header), read on demand: the first part
// is read once, anything behind it where it is needed.
class FrameArea {
public:
    FrameArea(const FileStretch& file, int64_t length) : fFile(file), fLength(length) {
        const int64_t head = std::min<int64_t>(length, kHead);
        fHead = QByteArray(qsizetype(head), Qt::Uninitialized);
        if (!file.readAt(fHead.data(), size_t(head), 10)) fHead.clear();
        fOk = fHead.size() == head;
    }
    bool ok() const { return fOk; }
    int64_t length() const { return fLength; }

    // [at, at + n) clipped to the area; empty when unreadable.
    QByteArray bytes(int64_t at, int64_t n) {
        if (at < 0 || at >= fLength) return {};
        n = std::min(n, fLength - at);
        if (at + n <= fHead.size()) return fHead.mid(qsizetype(at), qsizetype(n));
        QByteArray out(qsizetype(n), Qt::Uninitialized);
        if (!fFile.readAt(out.data(), size_t(n), uint64_t(10 + at))) {
            fOk = false;
            return {};
        }
        return out;
    }

    // Whether [at, end of area) holds only zeros.
    bool zerosFrom(int64_t at) {
        constexpr int64_t kChunk = 64 * 1024;
        for (; at < fLength; at += kChunk) {
            const QByteArray chunk = bytes(at, kChunk);
            if (chunk.isEmpty() ||
                std::any_of(chunk.begin(), chunk.end(), [](char c) { return c != 0; }))
                return false;
        }
        return true;
    }

private:
    // Text frames come first in most tags; pictures are read in part.
    static constexpr int64_t kHead = 4096;
    const FileStretch& fFile;
    int64_t fLength;
    QByteArray fHead;
    bool fOk = false;
};

} // namespace

std::optional<Id3FieldReader::PictureKind> Id3FieldReader::pictureKind(const QByteArray& prefix,
                                                                       int64_t length) {
    // TagLib's reading: encoding, MIME type up to a NUL, type byte,
    // description up to the encoding's delimiter, then the picture. A missing
    // delimiter leaves the position where it was.
    if (length < 5) return PictureKind{};
    if (prefix.isEmpty()) return std::nullopt;
    const bool complete = prefix.size() >= length;
    const uint8_t encoding = uint8_t(prefix[0]);
    int64_t pos = 1;
    const qsizetype mimeEnd = prefix.indexOf('\0', 1);
    if (mimeEnd >= 0)
        pos = mimeEnd + 1;
    else if (!complete)
        return std::nullopt;
    if (pos + 1 >= length) return PictureKind{};
    if (pos >= prefix.size()) return std::nullopt;
    PictureKind kind;
    kind.type = uint8_t(prefix[qsizetype(pos)]);
    ++pos;
    const int step = encoding == 1 || encoding == 2 || encoding == 4 ? 2 : 1;
    for (int64_t at = pos; at + step <= length; at += step) {
        if (at + step > prefix.size()) return std::nullopt;
        if (prefix[qsizetype(at)] == 0 && (step == 1 || prefix[qsizetype(at) + 1] == 0)) {
            kind.hasBytes = at + step < length;
            kind.pictureAt = at + step;
            return kind;
        }
    }
    kind.hasBytes = pos < length;
    kind.pictureAt = pos;
    return kind;
}

std::optional<Id3FieldReader::Fields> Id3FieldReader::read(const FileStretch& file,
                                                           const Mp3Layout& layout) {
    // Tags at the end other than ID3v1 go through TagLib.
    if (layout.apeAt >= 0 || layout.trailAt != (layout.v1At >= 0 ? layout.v1At : layout.size))
        return std::nullopt;
    Fields fields;
    if (layout.tagAt < 0) return fields;
    if (layout.tagAt != 0 || (layout.tagMajor != 3 && layout.tagMajor != 4) || layout.tagFlags)
        return std::nullopt;
    QByteArray header(10, Qt::Uninitialized);
    if (!file.readAt(header.data(), 10, 0) || uint8_t(header[4]) == 0xFF) return std::nullopt;
    int64_t tagSize = 0;
    for (int i = 6; i < 10; ++i) {
        if (uint8_t(header[i]) >= 0x80) return std::nullopt;
        tagSize = (tagSize << 7) | uint8_t(header[i]);
    }
    if (10 + tagSize != layout.tagLength || 10 + tagSize > layout.size ||
        uint64_t(tagSize) > Id3TagScreen::kMaxTagBytes)
        return std::nullopt;
    fields.version = layout.tagMajor;
    const bool v4 = fields.version == 4;

    FrameArea area(file, tagSize);
    if (!area.ok()) return std::nullopt;
    int64_t frontAt = -1, frontLength = 0, frontPicture = 0;
    int64_t otherAt = -1, otherLength = 0, otherPicture = 0;
    int64_t pos = 0;
    // As TagLib walks: while a frame header fits, until the padding.
    while (pos < tagSize - 10) {
        const QByteArray head = area.bytes(pos, 10);
        if (head.size() < 10) return std::nullopt;
        if (head[0] == 0) break;
        const QByteArray id = head.left(4);
        if (!validId(id) || head[8] || head[9]) return std::nullopt;
        int64_t size = be32(head, 4);
        if (v4) {
            for (int i = 4; i < 8; ++i)
                if (uint8_t(head[i]) >= 0x80) return std::nullopt;
            size = (int64_t(uint8_t(head[4])) << 21) | (int64_t(uint8_t(head[5])) << 14) |
                   (int64_t(uint8_t(head[6])) << 7) | int64_t(uint8_t(head[7]));
            // TagLib takes a plain size instead when only that one leads to a
            // frame; such a tag is left to it.
            if (size > 127 && !validId(area.bytes(pos + 10 + size, 4)) &&
                validId(area.bytes(pos + 10 + be32(head, 4), 4)))
                return std::nullopt;
            if (id == "TRDC") return std::nullopt; // TagLib renames it TDRC
        }
        if (size == 0 || pos + 10 + size > tagSize || uint64_t(size) > Id3TagScreen::kMaxFrameBytes)
            return std::nullopt;
        const int64_t bodyAt = pos + 10;
        if (id == "APIC") fields.pictures.push_back({10 + pos, 10 + size});
        if (wanted(id.constData())) {
            QByteArray body = area.bytes(bodyAt, size);
            if (body.size() != size) return std::nullopt;
            fields.frames.append({id, body});
        } else if (id == "APIC" && (frontAt < 0 || otherAt < 0)) {
            std::optional<PictureKind> kind = pictureKind(area.bytes(bodyAt, 1024), size);
            if (!kind) kind = pictureKind(area.bytes(bodyAt, size), size);
            if (!kind || !area.ok()) return std::nullopt;
            if (kind->hasBytes && kind->type == 3 && frontAt < 0) {
                frontAt = bodyAt;
                frontLength = size;
                frontPicture = kind->pictureAt;
            } else if (kind->hasBytes && kind->type == 0 && otherAt < 0) {
                otherAt = bodyAt;
                otherLength = size;
                otherPicture = kind->pictureAt;
            }
        }
        pos = bodyAt + size;
    }
    if (!area.zerosFrom(pos) || !area.ok()) return std::nullopt;
    if (frontAt >= 0) {
        fields.coverAt = 10 + frontAt;
        fields.coverLength = frontLength;
        fields.coverPictureAt = frontPicture;
    } else if (otherAt >= 0) {
        fields.coverAt = 10 + otherAt;
        fields.coverLength = otherLength;
        fields.coverPictureAt = otherPicture;
    }
    return fields;
}
