#include "media/Id3TagScreen.h"

#include "media/BigEndian.h"
#include "system/Log.h"

#include <taglib/id3v2synchdata.h>

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace {

TagLib::ByteVector view(const QByteArray& bytes, qsizetype from, qsizetype length) {
    length = std::max<qsizetype>(0, std::min(length, bytes.size() - from));
    return TagLib::ByteVector(bytes.constData() + from, unsigned(length));
}

uint32_t synchsafe(const QByteArray& bytes, qsizetype at) {
    return TagLib::ID3v2::SynchData::toUInt(view(bytes, at, 4));
}

bool frameIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool validFrameId(const QByteArray& data, qsizetype at) {
    if (at < 0 || at + 4 > data.size()) return false;
    return std::all_of(data.constData() + at, data.constData() + at + 4, frameIdChar);
}

// The first place from `pos` on that looks like a frame header (an upper-case
// letter, three letters or digits, a size that fits); null when none does.
QString frameIn(const QByteArray& data, qsizetype pos, qsizetype end, qsizetype headerSize) {
    for (qsizetype at = pos; at + headerSize <= end; ++at) {
        if (data[at] < 'A' || data[at] > 'Z' || !validFrameId(data, at)) continue;
        const uint32_t size = be32(data, at + 4);
        if (size > 0 && size <= uint64_t(end - at - headerSize))
            return QString::fromLatin1(data.mid(at, 4));
    }
    return {};
}

QByteArray unsynchronised(const QByteArray& bytes) {
    const TagLib::ByteVector decoded =
        TagLib::ID3v2::SynchData::decode(view(bytes, 0, bytes.size()));
    return QByteArray(decoded.data(), qsizetype(decoded.size()));
}

} // namespace

uint64_t Id3TagScreen::inflatedSize(const char* data, size_t size, uint64_t limit) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return 0;
    std::vector<unsigned char> out(64 * 1024);
    uint64_t total = 0;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = uInt(std::min<size_t>(size, 0x7FFFFFFF));
    for (;;) {
        stream.next_out = out.data();
        stream.avail_out = uInt(out.size());
        const int status = inflate(&stream, Z_NO_FLUSH);
        total += out.size() - stream.avail_out;
        if (total > limit || status != Z_OK) break;
    }
    inflateEnd(&stream);
    return total;
}

Id3TagScreen::Result Id3TagScreen::screen(const QByteArray& tag) {
    Result result{tag, {}, {}};
    if (tag.size() < 10 || !tag.startsWith("ID3")) return result;
    const int major = uint8_t(tag[3]);
    const uint8_t flags = uint8_t(tag[5]);
    // ID3v2.2 frames have 6-byte headers and no flags; its compressed tags
    // (flag 0x40) TagLib does not read at all.
    if (major < 2 || major > 4 || (major == 2 && (flags & 0x40))) return result;
    uint32_t tagSize = 0;
    if (std::all_of(tag.constData() + 6, tag.constData() + 10,
                    [](char c) { return uint8_t(c) < 0x80; }))
        tagSize = synchsafe(tag, 6);
    if (tagSize == 0) return result;

    // The frame data exactly as TagLib parses it: read in place unless the
    // whole tag must be decoded first (a tag holds a cover of 100 KB or more).
    const bool tagUnsync = flags & 0x80;
    const bool decodedWhole = tagUnsync && major <= 3;
    const QByteArray stored = QByteArray::fromRawData(
        tag.constData() + 10, std::min<qsizetype>(tagSize, tag.size() - 10));
    const QByteArray data = decodedWhole ? unsynchronised(stored) : stored;
    qsizetype pos = 0;
    qsizetype end = data.size();
    if (major >= 3 && (flags & 0x40)) { // extended header: TagLib reads its size as synchsafe
        const uint32_t extended = data.size() >= 4 ? synchsafe(data, 0) : 0;
        if (extended <= uint32_t(data.size())) pos = qsizetype(extended);
    }
    if ((flags & 0x10) && end >= 10) end -= 10; // TagLib takes the flag for a footer
    const qsizetype headerSize = major == 2 ? 6 : 10;
    const qsizetype idSize = major == 2 ? 3 : 4;

    struct Cut {
        qsizetype from, length;
    };
    std::vector<Cut> cuts;
    uint64_t inflatedTotal = 0;
    while (pos < end - headerSize) {
        if (data[pos] == '\0') break; // padding
        const QByteArray id = data.mid(pos, idSize);
        uint32_t size = 0;
        if (major == 2)
            size = (uint32_t(uint8_t(data[pos + 3])) << 16) |
                   (uint32_t(uint8_t(data[pos + 4])) << 8) | uint8_t(data[pos + 5]);
        else
            size = major == 3 ? be32(data, pos + 4) : synchsafe(data, pos + 4);
        if (major >= 4 && size > 127 && !validFrameId(data, pos + size + 10)) {
            // iTunes writes ID3v2.4 frames with ID3v2.3 sizes.
            const uint32_t plain = be32(data, pos + 4);
            if (validFrameId(data, pos + plain + 10)) size = plain;
        }
        const uint8_t frameFlags = major == 2 ? 0 : uint8_t(data[pos + 9]);
        const bool compressed = major == 3 ? frameFlags & 0x80 : frameFlags & 0x08;
        const bool encrypted = major == 3 ? frameFlags & 0x40 : frameFlags & 0x04;
        const bool grouped = major == 3 ? frameFlags & 0x20 : frameFlags & 0x40;
        const bool lengthGiven = major >= 4 && (frameFlags & 0x01);
        const bool itunesId = major == 3 && id[3] == '\0';
        const QString name = QString::fromLatin1(id.left(itunesId ? 3 : idSize));
        const bool idOk =
            std::all_of(id.constData(), id.constData() + (itunesId ? 3 : idSize), frameIdChar);
        // Where TagLib stops reading the tag. Bytes that hold no frame are
        // padding, however filled; a frame that cannot be read would be
        // lost by a save.
        if (!idOk) {
            if (const QString frame = frameIn(data, pos, end, headerSize); !frame.isNull())
                result.skipped << QStringLiteral("%1 (behind unreadable bytes)").arg(frame);
            break;
        }
        if (size > uint64_t(data.size() - pos)) {
            result.skipped << QStringLiteral("%1 (cut off)").arg(name);
            break;
        }
        if (size <= uint32_t(lengthGiven ? 4 : 0)) {
            // An empty frame is malformed and holds nothing: it is taken
            // out, and the frames after it read on, as other readers do.
            TROVIX_LOG() << "ID3v2 frame skipped:" << name << "(empty)";
            result.emptied << name;
            cuts.push_back({pos, headerSize + qsizetype(size)});
            pos += headerSize + qsizetype(size);
            continue;
        }
        if (encrypted || grouped) {
            // TagLib keeps such a frame as it is but writes it back without
            // its flags, which would garble it.
            result.skipped << QStringLiteral("%1 (%2)").arg(
                name, encrypted ? QStringLiteral("encrypted") : QStringLiteral("grouped"));
        } else if (compressed) {
            // TagLib inflates from the frame's data to the end of the tag,
            // or of the frame when it is unsynchronised.
            QByteArray decoded;
            const char* input = data.constData() + pos + headerSize + 4;
            qsizetype inputSize = data.size() - (pos + headerSize + 4);
            if (major >= 4 && (tagUnsync || (frameFlags & 0x02))) {
                decoded = unsynchronised(data.mid(pos + headerSize, size)).mid(4);
                input = decoded.constData();
                inputSize = decoded.size();
            }
            const uint64_t room = std::min(kMaxFrameBytes, kMaxTagBytes - inflatedTotal);
            const uint64_t inflated =
                inflatedSize(input, size_t(std::max<qsizetype>(0, inputSize)), room);
            if (inflated > room) {
                const QString why =
                    QStringLiteral("%1 (compressed, inflates past %2 MB)")
                        .arg(name)
                        .arg((inflated > kMaxFrameBytes ? kMaxFrameBytes : kMaxTagBytes) >> 20);
                TROVIX_LOG() << "ID3v2 frame skipped:" << why;
                result.skipped << why;
                cuts.push_back({pos, headerSize + qsizetype(size)});
            } else {
                inflatedTotal += inflated;
            }
        }
        pos += headerSize + qsizetype(size);
    }
    if (cuts.empty()) return result;

    QByteArray kept;
    qsizetype from = 0;
    for (const Cut& cut : cuts) {
        kept += data.mid(from, cut.from - from);
        from = cut.from + cut.length;
    }
    kept += data.mid(from);
    kept.append(qsizetype(tagSize) - kept.size(), '\0');
    QByteArray header = tag.left(10);
    if (decodedWhole) header[5] = char(flags & ~0x80);
    result.tag = header + kept + tag.mid(10 + qsizetype(tagSize));
    result.tag.truncate(tag.size()); // a tag cut short by the end of the file
    return result;
}
