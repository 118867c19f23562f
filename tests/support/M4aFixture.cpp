#include "support/M4aFixture.h"

#include <QFile>
#include <QtEndian>

#include <vector>

namespace {

QByteArray u16(uint32_t v) {
    QByteArray b(2, '\0');
    qToBigEndian(uint16_t(v), b.data());
    return b;
}

QByteArray u32(uint32_t v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray u64(uint64_t v) {
    QByteArray b(8, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray zeros(int n) {
    return QByteArray(n, '\0');
}

QByteArray box(const QByteArray& type, const QByteArray& payload) {
    return u32(uint32_t(payload.size() + 8)) + type + payload;
}

QByteArray fullBox(const QByteArray& type, const QByteArray& payload) {
    return box(type, zeros(4) + payload);
}

QByteArray matrix() {
    return u32(0x10000) + u32(0) + u32(0) + u32(0) + u32(0x10000) + u32(0) + u32(0) + u32(0) +
           u32(0x40000000);
}

QByteArray esds() {
    QByteArray decoderSpecific = QByteArray("\x05\x02\x12\x10", 4);
    QByteArray decoderConfig =
        QByteArray("\x40\x15", 2) + zeros(3) + u32(128000) + u32(128000) + decoderSpecific;
    decoderConfig = QByteArray("\x04", 1) + char(decoderConfig.size()) + decoderConfig;
    QByteArray es = u16(1) + zeros(1) + decoderConfig + QByteArray("\x06\x01\x02", 3);
    es = QByteArray("\x03", 1) + char(es.size()) + es;
    return fullBox("esds", es);
}

QByteArray mp4aEntry() {
    QByteArray p = zeros(6) + u16(1) + zeros(8) + u16(2) + u16(16) + u16(0) + u16(0) +
                   u32(44100u << 16) + esds();
    return box("mp4a", p);
}

struct Track {
    std::vector<uint32_t> sampleSizes;
    std::vector<uint64_t> chunkOffsets;
};

QByteArray trak(int id, const Track& t, const M4aFixtureOptions& o, bool video) {
    const uint32_t samples = uint32_t(t.sampleSizes.size());
    const QByteArray tkhd =
        box("tkhd", u32(7) + u32(0) + u32(0) + u32(uint32_t(id)) + u32(0) +
                        u32(uint32_t(o.durationSecs) * 1000) + zeros(8) + u16(0) + u16(0) +
                        u16(0x100) + u16(0) + matrix() + u32(0) + u32(0));
    const QByteArray mdhd =
        fullBox("mdhd", u32(0) + u32(0) + u32(44100) + u32(uint32_t(o.durationSecs) * 44100) +
                            u16(0x55c4) + u16(0));
    const QByteArray hdlr =
        fullBox("hdlr", u32(0) + (video ? "vide" : "soun") + zeros(12) +
                            QByteArray(video ? "VideoHandler" : "SoundHandler", 13));
    const QByteArray smhd = fullBox("smhd", zeros(4));
    const QByteArray dinf = box("dinf", fullBox("dref", u32(1) + box("url ", u32(1))));
    const QByteArray stsd = fullBox("stsd", u32(1) + mp4aEntry());
    const QByteArray stts =
        samples ? fullBox("stts", u32(1) + u32(samples) + u32(1024)) : fullBox("stts", u32(0));
    const QByteArray stsc =
        samples ? fullBox("stsc", u32(1) + u32(1) + u32(1) + u32(1)) : fullBox("stsc", u32(0));
    QByteArray sizes = u32(0) + u32(samples);
    for (uint32_t s : t.sampleSizes)
        sizes += u32(s);
    const QByteArray stsz = fullBox("stsz", sizes);
    QByteArray offsets = u32(uint32_t(t.chunkOffsets.size()));
    for (uint64_t off : t.chunkOffsets)
        offsets += o.co64 ? u64(off) : u32(uint32_t(off));
    const QByteArray chunks = fullBox(o.co64 ? "co64" : "stco", offsets);
    const QByteArray stbl = box("stbl", stsd + stts + stsc + stsz + chunks);
    const QByteArray minf = box("minf", smhd + dinf + stbl);
    const QByteArray edts =
        o.editList ? box("edts", fullBox("elst", u32(1) + u32(uint32_t(o.durationSecs) * 1000) +
                                                     u32(0) + u32(0x10000)))
                   : QByteArray();
    return box("trak", tkhd + edts + box("mdia", mdhd + hdlr + minf));
}

QByteArray item(const QByteArray& type, uint32_t typeWord, const QByteArray& value) {
    return box(type, box("data", u32(typeWord) + u32(0) + value));
}

QByteArray udta(const M4aFixtureOptions& o) {
    QByteArray items;
    if (!o.title.isNull()) items += item("\xA9nam", 1, o.title.toUtf8());
    if (!o.artist.isNull())
        items += item("\xA9"
                      "ART",
                      1, o.artist.toUtf8());
    if (!o.album.isNull())
        items += item("\xA9"
                      "alb",
                      1, o.album.toUtf8());
    if (!o.year.isNull())
        items += item("\xA9"
                      "day",
                      1, o.year.toUtf8());
    if (!o.freeGenre.isNull()) items += item("\xA9gen", 1, o.freeGenre.toUtf8());
    if (o.genreIndex > 0) items += item("gnre", 0, u16(uint32_t(o.genreIndex)));
    if (o.trackNum > 0)
        items += item("trkn", 0,
                      u16(0) + u16(uint32_t(o.trackNum)) + u16(uint32_t(o.trackCount)) + u16(0));
    if (!o.cover.isEmpty()) items += item("covr", uint32_t(o.coverType), o.cover);
    const QByteArray handler =
        fullBox("hdlr", u32(0) + "mdir" + "appl" + zeros(8) + QByteArray("", 1));
    QByteArray meta = handler + box("ilst", items);
    if (o.freePadding >= 8) meta += box("free", zeros(o.freePadding - 8));
    return box("udta", fullBox("meta", meta));
}

QByteArray moov(const std::vector<Track>& tracks, const M4aFixtureOptions& o) {
    QByteArray mvhd =
        fullBox("mvhd", u32(0) + u32(0) + u32(1000) + u32(uint32_t(o.durationSecs) * 1000) +
                            u32(0x10000) + u16(0x100) + zeros(10) + matrix() + zeros(24) +
                            u32(uint32_t(tracks.size()) + 1));
    QByteArray body = mvhd;
    for (size_t i = 0; i < tracks.size(); ++i)
        body += trak(int(i) + 1, tracks[i], o, o.lastTrackIsVideo && i + 1 == tracks.size());
    if (o.withMetadata)
        body += udta(o);
    else if (o.freePadding >= 8)
        body += box("free", zeros(o.freePadding - 8));
    return box("moov", body);
}

QByteArray payload(int n) {
    QByteArray bytes(n, '\0');
    uint32_t x = 0x2545F491u;
    for (int i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

std::vector<Track> layTracks(const M4aFixtureOptions& o, uint64_t payloadStart) {
    const int count = std::max(1, o.tracks);
    const int per = o.mdatBytes / count;
    std::vector<Track> tracks(static_cast<size_t>(count));
    int pos = 0;
    for (int t = 0; t < count; ++t) {
        const int end = t == count - 1 ? o.mdatBytes : pos + per;
        while (pos < end) {
            const int n = std::min(1024, end - pos);
            tracks[size_t(t)].sampleSizes.push_back(uint32_t(n));
            tracks[size_t(t)].chunkOffsets.push_back(payloadStart + uint64_t(pos));
            pos += n;
        }
    }
    return tracks;
}

} // namespace

QByteArray buildM4a(const M4aFixtureOptions& o) {
    const QByteArray ftyp =
        box("ftyp", QByteArray("M4A ") + u32(0x200) + "M4A mp42isom" + zeros(4));
    const int mdatHeader = o.largeSizeMdat ? 16 : 8;
    const QByteArray audio = payload(std::max(0, o.mdatBytes));
    const QByteArray mdat = o.largeSizeMdat
                                ? u32(1) + "mdat" + u64(uint64_t(audio.size()) + 16) + audio
                                : box("mdat", audio);
    // The size of "moov" does not depend on the offsets' values.
    const qsizetype moovSize = moov(layTracks(o, 0), o).size();
    const uint64_t start = uint64_t(ftyp.size() + (o.moovAfterMdat ? 0 : moovSize) + mdatHeader);
    const QByteArray movie = moov(layTracks(o, start), o);
    return o.moovAfterMdat ? ftyp + mdat + movie : ftyp + movie + mdat;
}

bool writeM4a(const QString& path, const M4aFixtureOptions& options) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = buildM4a(options);
    return f.write(bytes) == bytes.size() && f.flush();
}

bool findMdatPayload(const QByteArray& file, qint64& offset, qint64& length) {
    qint64 pos = 0;
    while (pos + 8 <= file.size()) {
        quint64 size = qFromBigEndian<quint32>(file.constData() + pos);
        qint64 header = 8;
        if (size == 1 && pos + 16 <= file.size()) {
            size = qFromBigEndian<quint64>(file.constData() + pos + 8);
            header = 16;
        } else if (size == 0) {
            size = quint64(file.size() - pos);
        }
        if (size < quint64(header)) return false;
        if (file.mid(pos + 4, 4) == "mdat") {
            offset = pos + header;
            length = qint64(size) - header;
            return true;
        }
        pos += qint64(size);
    }
    return false;
}

namespace {

void walk(const QByteArray& file, qint64 from, qint64 to, int depth, std::vector<quint64>& out) {
    static const QList<QByteArray> containers = {"moov", "trak", "mdia", "minf", "stbl"};
    qint64 pos = from;
    while (pos + 8 <= to) {
        quint64 size = qFromBigEndian<quint32>(file.constData() + pos);
        qint64 header = 8;
        if (size == 1) {
            size = qFromBigEndian<quint64>(file.constData() + pos + 8);
            header = 16;
        } else if (size == 0) {
            size = quint64(to - pos);
        }
        if (size < quint64(header) || pos + qint64(size) > to) return;
        const QByteArray type = file.mid(pos + 4, 4);
        const qint64 body = pos + header;
        if (containers.contains(type) && (depth > 0 || type == "moov")) {
            walk(file, body, pos + qint64(size), depth + 1, out);
        } else if (depth > 0 && (type == "stco" || type == "co64")) {
            const quint32 count = qFromBigEndian<quint32>(file.constData() + body + 4);
            const int entry = type == "co64" ? 8 : 4;
            for (quint32 i = 0; i < count; ++i) {
                const char* p = file.constData() + body + 8 + qint64(i) * entry;
                out.push_back(entry == 8 ? qFromBigEndian<quint64>(p) : qFromBigEndian<quint32>(p));
            }
        }
        pos += qint64(size);
    }
}

} // namespace

std::vector<quint64> chunkOffsets(const QByteArray& file) {
    std::vector<quint64> out;
    walk(file, 0, file.size(), 0, out);
    return out;
}
