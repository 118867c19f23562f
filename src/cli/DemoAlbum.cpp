#include "cli/DemoAlbum.h"

#include "app/Preferences.h"
#include "media/MP3File.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

namespace {

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo: 417-byte frames. Zero side
// information means no Huffman data, so every frame is silence.
QByteArray silentMp3(int frames) {
    const int frameSize = 144 * 128000 / 44100;
    QByteArray out(qsizetype(frameSize) * frames, '\0');
    for (int f = 0; f < frames; ++f) {
        char* frame = out.data() + qsizetype(f) * frameSize;
        frame[0] = char(0xFF);
        frame[1] = char(0xFB);
        frame[2] = char(9 << 4); // 128 kbit/s, 44.1 kHz, no padding
        frame[3] = char(0x00);
    }
    return out;
}

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
    return u32(0x10000) + zeros(12) + u32(0x10000) + zeros(12) + u32(0x40000000);
}

// An AAC track description with a small sample table over `samples` chunks of
// 512 bytes starting at `start`, and an empty metadata list to fill later.
QByteArray moov(int samples, uint32_t start, int seconds) {
    const QByteArray decoderSpecific = QByteArray("\x05\x02\x12\x10", 4);
    QByteArray config =
        QByteArray("\x40\x15", 2) + zeros(3) + u32(128000) + u32(128000) + decoderSpecific;
    config = QByteArray("\x04", 1) + char(config.size()) + config;
    QByteArray es = u16(1) + zeros(1) + config + QByteArray("\x06\x01\x02", 3);
    es = QByteArray("\x03", 1) + char(es.size()) + es;
    const QByteArray mp4a = box("mp4a", zeros(6) + u16(1) + zeros(8) + u16(2) + u16(16) + u16(0) +
                                            u16(0) + u32(44100u << 16) + fullBox("esds", es));
    QByteArray sizes = u32(0) + u32(uint32_t(samples));
    QByteArray offsets = u32(uint32_t(samples));
    for (int i = 0; i < samples; ++i) {
        sizes += u32(512);
        offsets += u32(start + uint32_t(i) * 512);
    }
    const QByteArray stbl =
        box("stbl", fullBox("stsd", u32(1) + mp4a) +
                        fullBox("stts", u32(1) + u32(uint32_t(samples)) + u32(1024)) +
                        fullBox("stsc", u32(1) + u32(1) + u32(1) + u32(1)) +
                        fullBox("stsz", sizes) + fullBox("stco", offsets));
    const QByteArray minf =
        box("minf", fullBox("smhd", zeros(4)) +
                        box("dinf", fullBox("dref", u32(1) + box("url ", u32(1)))) + stbl);
    const uint32_t ms = uint32_t(seconds) * 1000;
    const QByteArray mdia = box(
        "mdia",
        fullBox("mdhd",
                zeros(8) + u32(44100) + u32(uint32_t(seconds) * 44100) + u16(0x55c4) + u16(0)) +
            fullBox("hdlr", u32(0) + "soun" + zeros(12) + QByteArray("SoundHandler", 13)) + minf);
    const QByteArray tkhd =
        box("tkhd", u32(7) + zeros(8) + u32(1) + u32(0) + u32(ms) + zeros(8) + u16(0) + u16(0) +
                        u16(0x100) + u16(0) + matrix() + u32(0) + u32(0));
    const QByteArray meta =
        fullBox("meta", fullBox("hdlr", u32(0) + "mdir" + "appl" + zeros(8) + QByteArray("", 1)) +
                            box("ilst", {}) + box("free", zeros(1016)));
    const QByteArray mvhd =
        fullBox("mvhd", zeros(8) + u32(1000) + u32(ms) + u32(0x10000) + u16(0x100) + zeros(10) +
                            matrix() + zeros(24) + u32(2));
    return box("moov", mvhd + box("trak", tkhd + mdia) + box("udta", meta));
}

QByteArray silentM4a(int seconds) {
    const int samples = 16;
    const QByteArray ftyp =
        box("ftyp", QByteArray("M4A ") + u32(0x200) + "M4A mp42isom" + zeros(4));
    const uint32_t start = uint32_t(ftyp.size() + moov(samples, 0, seconds).size() + 8);
    return ftyp + moov(samples, start, seconds) + box("mdat", zeros(samples * 512));
}

struct DemoTrack {
    const char* file;
    const char* artist;
    const char* album;
    const char* year;
    const char* title;
    int track;
    int count;
};

// One album, five files, no two agreeing on everything.
const DemoTrack kTracks[] = {
    {"track01.mp3", "the demo band", "silent songs", "2024", "first light", 1, 5},
    {"Second Wind.mp3", "The Demo Band", "Silent Songs", "2024", "SECOND WIND", 2, 0},
    {"03 - quiet hours.mp3", "The Demo Band", "silent songs", nullptr, "quiet hours", 3, 5},
    {"track 4.m4a", "The Demo Band", "Silent Songs", "2024", "the long way home", 4, 5},
    {"05_closing_time.m4a", "the demo band", "Silent Songs", "2024", "Closing Time", 5, 5},
};

} // namespace

namespace DemoAlbum {

Outcome build(const QString& dir) {
    QDir d(dir);
    if (d.exists() && !d.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        return Outcome::failed(QStringLiteral("%1: the folder is not empty").arg(dir));
    }
    if (!QDir().mkpath(dir)) {
        return Outcome::failed(QStringLiteral("%1: the folder could not be created").arg(dir));
    }
    for (const DemoTrack& t : kTracks) {
        const QString path = d.filePath(QString::fromUtf8(t.file));
        const bool mp3 = path.endsWith(QLatin1String(".mp3"));
        QFile f(path);
        const QByteArray bytes = mp3 ? silentMp3(80) : silentM4a(2);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush()) {
            return Outcome::failed(QStringLiteral("%1: %2").arg(path, f.errorString()));
        }
        f.close();
        const std::shared_ptr<MusicFile> music = MusicFileFactory::newMusicFileWithPath(path);
        if (!music) {
            return Outcome::failed(
                QStringLiteral("%1: the generated file could not be read back").arg(path));
        }
        // Written with the ID3 version the user's saves use.
        if (auto* mp3File = dynamic_cast<MP3File*>(music.get()))
            mp3File->setTagVersion(Prefs::intValue(Prefs::kTagVersion));
        TagValues tags{.title = QString::fromUtf8(t.title),
                       .artist = QString::fromUtf8(t.artist),
                       .album = QString::fromUtf8(t.album),
                       .year = QString::fromUtf8(t.year),
                       .genre = QStringLiteral("Rock")};
        tags.setTrack(t.track, t.count);
        TagFields fields = TagField::Title | TagField::Artist | TagField::Album | TagField::Genre |
                           TagField::Track | TagField::TrackCount;
        if (t.year) fields |= TagField::Year;
        music->setTags(tags, fields);
        const Outcome saved = SaveBatch::saveOne(*music);
        if (!saved.ok()) {
            return Outcome::failed(QStringLiteral("%1: %2").arg(path, saved.reason));
        }
    }
    return Outcome::done();
}

} // namespace DemoAlbum
