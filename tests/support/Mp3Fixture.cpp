#include "support/Mp3Fixture.h"

#include <QFile>
#include <QtEndian>

#include <array>

namespace {

constexpr int kSampleRate = 44100;
constexpr int kSideInfoSize = 32; // MPEG-1 stereo

constexpr std::array<int, 15> kBitrates = {0,   32,  40,  48,  56,  64,  80, 96,
                                           112, 128, 160, 192, 224, 256, 320};

int bitrateIndex(int kbps) {
    for (size_t i = 1; i < kBitrates.size(); ++i)
        if (kBitrates[i] == kbps) return int(i);
    return 9; // 128 kbit/s
}

void putBE32(QByteArray& bytes, int at, quint32 value) {
    qToBigEndian(value, bytes.data() + at);
}

void putBE16(QByteArray& bytes, int at, quint16 value) {
    qToBigEndian(value, bytes.data() + at);
}

QByteArray synchsafe(quint32 n) {
    QByteArray out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[i] = char(n & 0x7f);
        n >>= 7;
    }
    return out;
}

quint32 unsynchsafe(const QByteArray& bytes, int at) {
    quint32 n = 0;
    for (int i = 0; i < 4; ++i)
        n = (n << 7) | (quint8(bytes[at + i]) & 0x7f);
    return n;
}

} // namespace

QByteArray silentMp3Bytes(const Mp3FixtureOptions& options) {
    const int index = bitrateIndex(options.bitrateKbps);
    const int frameSize = 144 * kBitrates[size_t(index)] * 1000 / kSampleRate;
    const int frames = qMax(options.frames, 2);
    QByteArray out(qsizetype(frameSize) * frames, '\0');
    for (int f = 0; f < frames; ++f) {
        char* frame = out.data() + qsizetype(f) * frameSize;
        // Sync, MPEG-1, Layer III, no CRC; bit rate, 44.1 kHz, no padding; stereo.
        frame[0] = char(0xFF);
        frame[1] = char(0xFB);
        frame[2] = char(index << 4);
        frame[3] = char(0x00);
        // Zero side information means no Huffman data: the frame is silent
        // whatever the main data holds. The pattern never contains 0xFF,
        // so it cannot look like a frame sync.
        for (int i = 4 + kSideInfoSize; i < frameSize; ++i)
            frame[i] = char((i * 7 + f * 13) % 251);
    }
    const int tagAt = 4 + kSideInfoSize;
    if (options.xingVbr) {
        out.replace(tagAt, 4, "Xing");
        putBE32(out, tagAt + 4, 0x3); // frame count and byte count present
        putBE32(out, tagAt + 8, quint32(frames - 1));
        putBE32(out, tagAt + 12, quint32(out.size()));
    } else if (options.vbri) {
        out.replace(tagAt, 4, "VBRI");
        putBE16(out, tagAt + 4, 1);  // version
        putBE16(out, tagAt + 6, 0);  // delay
        putBE16(out, tagAt + 8, 75); // quality
        putBE32(out, tagAt + 10, quint32(out.size()));
        putBE32(out, tagAt + 14, quint32(frames - 1));
        putBE16(out, tagAt + 18, 0); // no table of contents
        putBE16(out, tagAt + 20, 1);
        putBE16(out, tagAt + 22, 2);
        putBE16(out, tagAt + 24, 1);
    }
    return out;
}

bool writeSilentMp3(const QString& path, const Mp3FixtureOptions& options) {
    return writeMp3WithTag(path, QByteArray(), options);
}

bool writeMp3WithTag(const QString& path, const QByteArray& tag, const Mp3FixtureOptions& options) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = tag + silentMp3Bytes(options);
    return file.write(bytes) == bytes.size() && file.flush();
}

QByteArray mp3AudioPayload(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.readAll();
    if (bytes.size() >= 10 && bytes.startsWith("ID3")) {
        qsizetype size = 10 + unsynchsafe(bytes, 6);
        if (quint8(bytes[5]) & 0x10) size += 10; // footer
        bytes.remove(0, qMin(size, bytes.size()));
    }
    if (bytes.size() >= 128 && bytes.mid(bytes.size() - 128, 3) == "TAG") bytes.chop(128);
    return bytes;
}

QByteArray id3v2Frame(int version, const QByteArray& id, const QByteArray& body) {
    QByteArray header = id.left(4);
    if (version >= 4) {
        header += synchsafe(quint32(body.size()));
    } else {
        QByteArray size(4, '\0');
        putBE32(size, 0, quint32(body.size()));
        header += size;
    }
    header += QByteArray(2, '\0');
    return header + body;
}

QByteArray id3v2Tag(int version, const QList<QByteArray>& frames, int padding) {
    QByteArray body;
    for (const QByteArray& frame : frames)
        body += frame;
    body += QByteArray(padding, '\0');
    QByteArray tag("ID3");
    tag += char(version);
    tag += char(0);
    tag += char(0);
    tag += synchsafe(quint32(body.size()));
    return tag + body;
}

QByteArray apeV2Tag(const QList<QPair<QByteArray, QByteArray>>& items) {
    auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    QByteArray body;
    for (const auto& [key, value] : items)
        body += le32(quint32(value.size())) + le32(0) + key + '\0' + value;
    auto frame = [&](quint32 flags) {
        return QByteArray("APETAGEX") + le32(2000) + le32(quint32(body.size() + 32)) +
               le32(quint32(items.size())) + le32(flags) + QByteArray(8, '\0');
    };
    // Header and footer; bit 31: the tag has a header, bit 29: this is it.
    return frame(0xA0000000u) + body + frame(0x80000000u);
}

QByteArray id3Latin1TextBody(const QByteArray& text) {
    return QByteArray(1, '\0') + text;
}

QByteArray latin1(const char* text) {
    return id3Latin1TextBody(text);
}

QList<QByteArray> RawId3Tag::ids() const {
    QList<QByteArray> out;
    for (const RawId3Frame& frame : frames)
        out.append(frame.id);
    return out;
}

QByteArray RawId3Tag::body(const QByteArray& id) const {
    for (const RawId3Frame& frame : frames)
        if (frame.id == id) return frame.body;
    return QByteArray();
}

RawId3Tag readRawId3v2(const QString& path) {
    RawId3Tag tag;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return tag;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 10 || !bytes.startsWith("ID3")) return tag;
    tag.version = quint8(bytes[3]);
    const qsizetype end = qMin(bytes.size(), qsizetype(10 + unsynchsafe(bytes, 6)));
    qsizetype at = 10;
    while (at + 10 <= end && bytes[at] != '\0') {
        const quint32 size = tag.version >= 4 ? unsynchsafe(bytes, int(at + 4))
                                              : qFromBigEndian<quint32>(bytes.constData() + at + 4);
        if (at + 10 + qsizetype(size) > end) break;
        tag.frames.append({bytes.mid(at, 4), bytes.mid(at + 10, size)});
        at += 10 + size;
    }
    return tag;
}
