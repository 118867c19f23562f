#include "support/LibraryFixture.h"

#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/XiphFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <mutex>

namespace {

// A function, so releases made during static initialisation find it.
const QStringList& words() {
    static const QStringList list = {
        "Amber", "Blue",    "Cinder",  "Dawn",   "Echo",   "Fable",  "Glass", "Harbor", "Iris",
        "Jade",  "Kettle",  "Lantern", "Meadow", "North",  "Opal",   "Pale",  "Quiet",  "River",
        "Stone", "Thistle", "Umber",   "Velvet", "Willow", "Yonder", "Zephyr"};
    return list;
}

constexpr int kMp3FramesPerSecondX100 = 3828; // 44100 / 1152, times 100
constexpr int kXingCountAt = 4 + 32 + 8;      // header, side information, "Xing" and flags

void putBE32(QByteArray& bytes, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(v >> (24 - 8 * i));
}

QByteArray textFrame(const char* id, const QString& text) {
    return id3v2Frame(4, id, QByteArray(1, '\x03') + text.toUtf8());
}

// A silent MP3 whose Xing header gives it `secs` seconds.
bool writeMp3(const QString& path, const QByteArray& tag, int secs) {
    Mp3FixtureOptions o;
    o.frames = 3;
    o.xingVbr = true;
    QByteArray audio = silentMp3Bytes(o);
    putBE32(audio, kXingCountAt, quint32(qint64(secs) * kMp3FramesPerSecondX100 / 100));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(tag + audio) == tag.size() + audio.size();
}

// One FLAC stream, encoded once; each file is its STREAMINFO (with the
// length patched in), a comment block of its own and the same frames.
struct FlacTemplate {
    QByteArray streamInfo; // the block's 34 bytes
    QByteArray frames;
};

const FlacTemplate& flacTemplate() {
    static FlacTemplate t;
    static std::once_flag once;
    std::call_once(once, [] {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.flac");
        XiphFixtureOptions o;
        o.padding = -1;
        if (!writeXiphFile(path, XiphKind::Flac, o)) return;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return;
        const QByteArray bytes = f.readAll();
        qsizetype at = 4;
        bool last = false;
        while (!last && at + 4 <= bytes.size()) {
            const auto type = quint8(bytes[at]) & 0x7F;
            last = quint8(bytes[at]) & 0x80;
            const int length = (quint8(bytes[at + 1]) << 16) | (quint8(bytes[at + 2]) << 8) |
                               quint8(bytes[at + 3]);
            if (type == 0) t.streamInfo = bytes.mid(at + 4, length);
            at += 4 + length;
        }
        t.frames = bytes.mid(at);
    });
    return t;
}

QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}

bool writeFlac(const QString& path, const QList<QByteArray>& comments, int secs) {
    const FlacTemplate& t = flacTemplate();
    if (t.streamInfo.size() != 34) return false;
    QByteArray info = t.streamInfo;
    // Sample rate (20 bits), channels, bits per sample, then 36 bits of samples.
    quint64 packed = 0;
    for (int i = 10; i < 18; ++i)
        packed = (packed << 8) | quint8(info[i]);
    const quint64 samples = quint64(secs) * 44100;
    packed = (packed & ~quint64(0xFFFFFFFFFULL)) | (samples & 0xFFFFFFFFFULL);
    for (int i = 17; i >= 10; --i, packed >>= 8)
        info[i] = char(packed & 0xFF);
    QByteArray comment = le32(6) + "trovix" + le32(quint32(comments.size()));
    for (const QByteArray& c : comments)
        comment += le32(quint32(c.size())) + c;
    auto header = [](int type, bool last, qsizetype length) {
        QByteArray h(4, '\0');
        h[0] = char(type | (last ? 0x80 : 0));
        h[1] = char(length >> 16);
        h[2] = char(length >> 8);
        h[3] = char(length);
        return h;
    };
    const QByteArray bytes = "fLaC" + header(0, false, info.size()) + info +
                             header(4, true, comment.size()) + comment + t.frames;
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString safeName(QString s) {
    return s.replace(u'/', u'-');
}

QJsonArray credit(const QString& name) {
    return QJsonArray{QJsonObject{{"name", name}, {"joinphrase", ""}}};
}

// The front cover the demo's captured answers serve.
QByteArray coverPng() {
    QFile f(QStringLiteral(TROVIX_TEST_DATA_DIR "/musicbrainz/front-500.png"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

FixtureRelease FixtureRelease::generated(int seed, int count, const QString& artist,
                                         const QString& title) {
    QRandomGenerator random(quint32(seed) * 2654435761u + 17);
    FixtureRelease r;
    r.id = QStringLiteral("00000000-0000-4000-8000-%1").arg(seed, 12, 10, QLatin1Char('0'));
    r.artist = artist;
    r.title = title;
    r.year = QString::number(1970 + seed % 50);
    for (int i = 0; i < count; ++i) {
        const QString a = words()[random.bounded(words().size())];
        const QString b = words()[random.bounded(words().size())];
        r.songs << FixtureSong{QStringLiteral("%1 %2 %3").arg(a, b).arg(i + 1),
                               120 + int(random.bounded(300))};
    }
    return r;
}

bool writeAlbumFolder(const QString& dir, const FixtureRelease& release,
                      const AlbumFolderOptions& options) {
    if (!QDir().mkpath(dir)) return false;
    QRandomGenerator random(qHash(release.id));
    const int n = int(release.songs.size());
    for (int i = 0; i < n; ++i) {
        if (i == options.skipSong) continue;
        const FixtureSong& song = release.songs[i];
        const QString title = options.wrongTitles
                                  ? QStringLiteral("Untitled %1").arg(random.bounded(1000))
                                  : song.title;
        const QString artist = song.artist.isNull() ? release.artist : song.artist;
        const QString base =
            options.shuffledNames
                ? QStringLiteral("%1 %2").arg(random.bounded(100000)).arg(safeName(title))
                : QStringLiteral("%1 %2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(safeName(title));
        bool ok = false;
        switch (i % 3) {
        case 0: {
            QByteArray tag;
            if (options.tags)
                tag = id3v2Tag(4,
                               {textFrame("TIT2", title), textFrame("TPE1", artist),
                                textFrame("TALB", release.title), textFrame("TDRC", release.year),
                                textFrame("TRCK", QString::number(i + 1))},
                               256);
            ok = writeMp3(dir + u'/' + base + ".mp3", tag, song.secs);
            break;
        }
        case 1: {
            M4aFixtureOptions o;
            o.durationSecs = song.secs;
            o.withMetadata = options.tags;
            o.title = title;
            o.artist = artist;
            o.album = release.title;
            o.year = release.year;
            o.genreIndex = 0;
            o.trackNum = i + 1;
            o.trackCount = n;
            ok = writeM4a(dir + u'/' + base + ".m4a", o);
            break;
        }
        default: {
            QList<QByteArray> comments;
            if (options.tags)
                comments = {"TITLE=" + title.toUtf8(), "ARTIST=" + artist.toUtf8(),
                            "ALBUM=" + release.title.toUtf8(), "DATE=" + release.year.toUtf8(),
                            "TRACKNUMBER=" + QByteArray::number(i + 1)};
            ok = writeFlac(dir + u'/' + base + ".flac", comments, song.secs);
        }
        }
        if (!ok) return false;
    }
    return true;
}

LoopbackMusicBrainz::LoopbackMusicBrainz(const QList<FixtureRelease>& releases)
    : fReleases(releases) {
    // A search answers every release whose title or artist the query names.
    fServer.handle("/ws/2/release/", [this](const httplib::Request& req, httplib::Response& res) {
        QString query = QString::fromStdString(req.get_param_value("query")).toCaseFolded();
        query.remove(u'\\');
        QJsonArray found;
        for (const FixtureRelease& r : fReleases) {
            if (!query.contains(r.title.toCaseFolded()) && !query.contains(r.artist.toCaseFolded()))
                continue;
            found.append(QJsonObject{
                {"id", r.id},
                {"score", 100},
                {"title", r.title},
                {"date", r.year},
                {"artist-credit", credit(r.artist)},
                {"media", QJsonArray{QJsonObject{{"track-count", int(r.songs.size())}}}}});
        }
        const QJsonObject answer{{"releases", found}, {"count", int(found.size())}};
        res.set_content(QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString(),
                        "application/json");
    });
    fServer.handle(
        "/ws/2/release/[0-9a-f-]{36}", [this](const httplib::Request& req, httplib::Response& res) {
            const QString id = QString::fromStdString(req.path).section(u'/', -1);
            for (const FixtureRelease& r : fReleases) {
                if (r.id != id) continue;
                QJsonArray tracks;
                for (const FixtureSong& s : r.songs)
                    tracks.append(QJsonObject{
                        {"title", s.title},
                        {"length", s.secs * 1000},
                        {"artist-credit", credit(s.artist.isNull() ? r.artist : s.artist)}});
                const QJsonObject release{{"id", r.id},
                                          {"title", r.title},
                                          {"date", r.year},
                                          {"artist-credit", credit(r.artist)},
                                          {"media", QJsonArray{QJsonObject{{"tracks", tracks}}}},
                                          {"cover-art-archive", QJsonObject{{"front", true}}}};
                res.set_content(QJsonDocument(release).toJson(QJsonDocument::Compact).toStdString(),
                                "application/json");
                return;
            }
            res.status = 404;
        });
    const std::string png = coverPng().toStdString();
    fServer.handle("/release/[^/]+/front-500",
                   [png](const httplib::Request&, httplib::Response& res) {
                       res.set_content(png, "image/png");
                   });
}

QStringList LoopbackMusicBrainz::settings() const {
    return {"--set", "SearchMB=YES",
            "--set", "MusicBrainzBaseURL=" + fServer.baseUrl(),
            "--set", "CoverArtArchiveBaseURL=" + fServer.baseUrl(),
            "--set", "SearchAMG=NO",
            "--set", "SearchGOOG=NO",
            "--set", "SearchFreeDB=NO",
            "--set", "SearchGNUDB=NO"};
}

int LoopbackMusicBrainz::count(const std::string& pattern) const {
    const QRegularExpression re(
        QRegularExpression::anchoredPattern(QString::fromStdString(pattern)));
    int n = 0;
    for (const LoopbackServer::Request& r : fServer.requests())
        if (re.match(QString::fromStdString(r.path)).hasMatch()) ++n;
    return n;
}

int LoopbackMusicBrainz::searches() const {
    return count("/ws/2/release/");
}

int LoopbackMusicBrainz::lookups() const {
    return count("/ws/2/release/[0-9a-f-]{36}");
}

int LoopbackMusicBrainz::covers() const {
    return count("/release/[^/]+/front-500");
}
