// Odd files from the wild, each alone in an album folder, saved by trovix-cli
// with new album fields, then read back by two other programs: mutagen (a
// Python tag library) and ffprobe. Both must see the new values, no stale
// second tag, and the very same audio packets.
#include "cli/CliRun.h"
#include "support/CapturedData.h"
#include "support/FileBytes.h"
#include "support/LoopbackServer.h"
#include "support/M4aChecks.h"
#include "support/XiphFixture.h"

#include <QFileInfo>
#include <QJsonArray>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <functional>

namespace {

const QString kArtist = QStringLiteral("New Artist");
const QString kAlbum = QStringLiteral("New Album");
const QString kYear = QStringLiteral("2011");

struct Ran {
    bool ok = false;
    QByteArray out, err;
};

Ran runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Ran r;
    if (!p.waitForStarted(10000)) {
        r.err = program.toUtf8() + " did not start (scripts/setup.sh installs it)";
        return r;
    }
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return r;
}

// What ffmpeg sees of the audio: a digest of the packet bytes, as stored,
// and the stream's shape.
struct Audio {
    QByteArray md5;
    QString codec, sampleRate, duration;
    int channels = 0;
    bool operator==(const Audio&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Audio& a) {
    return os << a.md5.constData() << " " << a.codec.toStdString() << " "
              << a.sampleRate.toStdString() << " Hz " << a.channels << " ch "
              << a.duration.toStdString() << " s";
}

struct Probe {
    Audio audio;
    QJsonObject tags; // the format's tags, keys in lower case
    QString error;
};

Probe probe(const QString& path) {
    Probe p;
    const Ran md5 = runProgram(
        "ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f", "md5", "-"});
    const Ran info = runProgram("ffprobe", {"-v", "error", "-show_entries",
                                            "format=duration:format_tags:stream=codec_name,"
                                            "sample_rate,channels",
                                            "-select_streams", "a:0", "-of", "json", path});
    if (!md5.ok || !info.ok) {
        p.error = QString::fromUtf8(md5.err + info.err);
        return p;
    }
    p.audio.md5 = md5.out.trimmed();
    const QJsonObject json = QJsonDocument::fromJson(info.out).object();
    const QJsonObject stream = json["streams"].toArray().first().toObject();
    p.audio.codec = stream["codec_name"].toString();
    p.audio.sampleRate = stream["sample_rate"].toString();
    p.audio.channels = stream["channels"].toInt();
    p.audio.duration = json["format"]["duration"].toString();
    const QJsonObject tags = json["format"]["tags"].toObject();
    for (auto it = tags.begin(); it != tags.end(); ++it)
        p.tags.insert(it.key().toLower(), it.value());
    return p;
}

// Debian's mutagen belongs to the system's Python, whatever python3 is first
// on the path.
QJsonObject readWithMutagen(const QString& path, QString* error) {
    const Ran r = runProgram(QStringLiteral(TROVIX_TEST_PYTHON),
                             {QStringLiteral(TROVIX_MUTAGEN_READER), path});
    if (!r.ok) *error = QString::fromUtf8(r.err);
    return QJsonDocument::fromJson(r.out).object();
}

QByteArray v1RockTag(const char* title, const char* artist, const char* comment = "") {
    QByteArray v1(128, '\0');
    v1.replace(0, 3, "TAG");
    v1.replace(3, qstrlen(title), title);
    v1.replace(33, qstrlen(artist), artist);
    v1.replace(97, qstrlen(comment), comment);
    v1[127] = char(17); // Rock
    return v1;
}

// The frames of an ordinary ID3v2 tag of the given version.
QList<QByteArray> oldFrames(int version) {
    return {id3v2Frame(version, "TIT2", latin1("quiet old song")),
            id3v2Frame(version, "TPE1", latin1("Old Artist")),
            id3v2Frame(version, "TALB", latin1("Old Album")),
            id3v2Frame(version, version >= 4 ? "TDRC" : "TYER", latin1("1999")),
            id3v2Frame(version, "TCON", latin1("Rock"))};
}

// The stream every MP3 case holds; its Xing frame count makes the duration
// exact rather than guessed from the file size.
QByteArray mp3Audio() {
    Mp3FixtureOptions o;
    o.xingVbr = true;
    return silentMp3Bytes(o);
}

// A cover large enough to be kept where it lies by a save, behind the text
// frames: the frames in front of it are laid out to fill their room.
QByteArray coverBehindText(int version) {
    const QByteArray picture = QByteArray("\0image/jpeg\0\x03\0", 14) +
                               QByteArray("\xFF\xD8\xFF", 3) + QByteArray(20000, 'c');
    return id3v2Tag(version,
                    oldFrames(version) + QList<QByteArray>{id3v2Frame(version, "APIC", picture)},
                    600) +
           mp3Audio();
}

struct OddCase {
    const char* file; // named after its quirk
    std::function<QByteArray()> bytes;
    QStringList stale = {};      // texts no reader may find after the save
    bool emptyYearGenre = false; // saved with an empty year and genre
    bool asV23 = false;          // saved as ID3v2.3 rather than the default ID3v2.4
    // A tag at the very end that ffmpeg takes for audio: the audio before
    // the save is measured without it.
    std::function<QByteArray()> tail = {};
    const char* v1Comment = nullptr; // the ID3v1 comment, which the save keeps
};

M4aFixtureOptions m4aOptions(const QString& title = QStringLiteral("quiet old song")) {
    M4aFixtureOptions o;
    o.title = title;
    o.artist = QStringLiteral("Old Artist");
    o.album = QStringLiteral("Old Album");
    o.year = QStringLiteral("1999");
    o.trackNum = 0;
    return o;
}

const QList<OddCase>& oddCases() {
    static const QList<OddCase> cases = {
        {.file = "zero_size_first_frame.mp3",
         .bytes =
             [] {
                 const QByteArray empty = id3v2Frame(3, "TIT1", QByteArray());
                 return id3v2Tag(3, QList<QByteArray>{empty} + oldFrames(3), 64) + mp3Audio();
             }},
        {.file = "tag_behind_junk.mp3",
         .bytes =
             [] {
                 return QByteArray(2047, 'j') + id3v2Tag(3, oldFrames(3), 100) + mp3Audio() +
                        v1RockTag("quiet old song", "Old Artist");
             }},
        {.file = "apev2_tag_at_end.mp3",
         .bytes =
             [] {
                 return id3v2Tag(3, oldFrames(3)) + mp3Audio() +
                        apeV2Tag({{"Title", "stale ape title"}, {"Artist", "stale ape artist"}}) +
                        v1RockTag("quiet old song", "Old Artist");
             },
         .stale = {"stale ape title", "stale ape artist"}},
        {.file = "second_id3v2_tag_at_end.mp3",
         .bytes = [] { return id3v2Tag(3, oldFrames(3)) + mp3Audio(); },
         .stale = {"stale appended title", "stale appended artist"},
         .tail =
             [] {
                 // ID3v2.4 with a footer, as appended at the end of a file.
                 QByteArray tag =
                     id3v2Tag(4, {id3v2Frame(4, "TIT2", latin1("stale appended title")),
                                  id3v2Frame(4, "TPE1", latin1("stale appended artist"))});
                 tag[5] = 0x10;
                 QByteArray footer = tag.left(10);
                 footer.replace(0, 3, "3DI");
                 return tag + footer;
             }},
        {.file = "tyer_byte_order_mark.mp3",
         .bytes =
             [] {
                 QList<QByteArray> frames = oldFrames(3);
                 frames[3] = id3v2Frame(3, "TYER", QByteArray("\x00\xFE\xFF", 3));
                 return id3v2Tag(3, frames) + mp3Audio();
             }},
        {.file = "large_cover_behind_the_text.mp3", .bytes = [] { return coverBehindText(4); }},
        {.file = "large_cover_behind_the_text_v23.mp3",
         .bytes = [] { return coverBehindText(3); },
         .asV23 = true},
        {.file = "id3v1_comment.mp3",
         .bytes =
             [] {
                 return id3v2Tag(3, oldFrames(3), 100) + mp3Audio() +
                        v1RockTag("quiet old song", "Old Artist", "ripped by a friend");
             },
         .v1Comment = "ripped by a friend"},
        {.file = "id3v1_only.mp3",
         .bytes = [] { return mp3Audio() + v1RockTag("quiet old song", "Old Artist"); }},
        {.file = "untitled.m4a", .bytes = [] { return buildM4a(m4aOptions(QString())); }},
        {.file = "empty_year_and_genre.m4a",
         .bytes = [] { return buildM4a(m4aOptions()); },
         .emptyYearGenre = true},
        {.file = "audiobook.m4b", .bytes = [] { return buildM4a(m4aOptions()); }},
        {.file = "audio_only.mp4", .bytes = [] { return buildM4a(m4aOptions()); }},
        {.file = "plain_v23.mp3",
         .bytes = [] { return id3v2Tag(3, oldFrames(3), 200) + mp3Audio(); }},
        {.file = "plain_v24.mp3",
         .bytes = [] { return id3v2Tag(4, oldFrames(4), 200) + mp3Audio(); }},
        {.file = "plain_v24_saved_as_v23.mp3",
         .bytes = [] { return id3v2Tag(4, oldFrames(4), 200) + mp3Audio(); },
         .asV23 = true},
        {.file = "id3v22.mp3",
         .bytes =
             [] {
                 auto frame = [](const char* id, const char* value) {
                     const QByteArray body = latin1(value);
                     return QByteArray(id, 3) + QByteArray(2, '\0') + char(body.size()) + body;
                 };
                 return id3v2Tag(2,
                                 {frame("TT2", "quiet old song"), frame("TP1", "Old Artist"),
                                  frame("TAL", "Old Album"), frame("TYE", "1999"),
                                  frame("TCO", "Rock")},
                                 30) +
                        mp3Audio();
             }},
        {.file = "unsynchronised_v23.mp3",
         .bytes =
             [] {
                 QByteArray tag = id3v2Tag(3, oldFrames(3), 50);
                 tag[5] = char(0x80); // no byte needs it, the flag alone is the quirk
                 return tag + mp3Audio();
             }},
        {.file = "no_padding_before_audio.m4a",
         .bytes =
             [] {
                 // The grown tags move the audio: every chunk offset must follow.
                 M4aFixtureOptions o = m4aOptions();
                 o.freePadding = 0;
                 return buildM4a(o);
             }},
        {.file = "plain.m4a", .bytes = [] { return buildM4a(m4aOptions()); }},
        {.file = "title_longer_than_a_name.flac",
         .bytes =
             [] {
                 // Its name is cut to leave room for the five-byte extension.
                 // (The custom tag keeps the search terms, made of the old
                 // artist and album: here they are not the stale texts.)
                 QTemporaryDir dir;
                 XiphFixtureOptions o;
                 o.comments = {"TITLE=" + QByteArray(300, 't'), "ARTIST=Earlier Band",
                               "ALBUM=Earlier Record", "DATE=1998", "GENRE=Rock"};
                 const QString path = dir.filePath("a.flac");
                 return writeXiphFile(path, XiphKind::Flac, o) ? readBytes(path) : QByteArray();
             }},
        {.file = "large_cover_kept_in_place.m4a",
         .bytes =
             [] {
                 // Saved with "covr" first in "ilst" behind a "free" atom in "meta".
                 M4aFixtureOptions o = m4aOptions();
                 o.cover = QByteArray("\xFF\xD8\xFF", 3) + QByteArray(20000, 'c');
                 o.coverType = 13;
                 return buildM4a(o);
             }},
    };
    return cases;
}

// A reader's value as text: quoted, or "(no item)"; so an empty item and
// no item differ.
std::string readerText(const QJsonValue& v) {
    return v.isString() ? "\"" + v.toString().toStdString() + "\"" : "(no item)";
}
std::string readerText(const QString& s) {
    return s.isNull() ? "(no item)" : "\"" + s.toStdString() + "\"";
}

bool containsAny(const QStringList& haystack, const QStringList& needles) {
    for (const QString& h : haystack)
        for (const QString& n : needles)
            if (h.contains(n)) return true;
    return false;
}

QStringList itemTexts(const QJsonObject& tags) {
    QStringList out;
    for (const QJsonValue& v : tags)
        out << v.toString();
    return out;
}

QStringList strings(const QJsonArray& array) {
    QStringList out;
    for (const QJsonValue& v : array)
        out << v.toString();
    return out;
}

} // namespace

TEST(CliOtherReaders, SavedOddFilesReadTheSameInMutagenAndFfprobe) {
    CliEnv env;
    for (const OddCase& odd : oddCases()) {
        SCOPED_TRACE(odd.file);
        const QString dir = env.root() + "/" + QFileInfo(odd.file).completeBaseName();
        QDir().mkpath(dir);
        const QString original = dir + "/" + odd.file;
        const QByteArray bytes = odd.bytes();
        const bool hadV1 = bytes.right(128).startsWith("TAG");
        ASSERT_TRUE(writeBytes(original, bytes));
        const Probe before = probe(original);
        ASSERT_TRUE(before.error.isEmpty()) << before.error.toStdString();
        if (odd.tail) {
            ASSERT_TRUE(writeBytes(original, bytes + odd.tail()));
        }

        QStringList args = QStringList{"open", dir, "--artist", kArtist, "--album", kAlbum} +
                           kOffline + QStringList{"--save", "--yes"};
        if (odd.asV23) args += {"--set", "TagVersion=2"};
        args += {"--year", odd.emptyYearGenre ? QString() : kYear};
        if (odd.emptyYearGenre) args += {"--genre", QString()};
        const CliResult r = env.run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QJsonObject json = r.json();
        ASSERT_TRUE(json["saved"].toBool()) << r.out.toStdString();
        const QJsonObject track = json["tracks"].toArray().first().toObject();
        const QString saved = track["path"].toString();
        const QString title = track["newTitle"].toString();
        ASSERT_TRUE(QFileInfo::exists(saved)) << saved.toStdString();
        ASSERT_FALSE(title.isEmpty());
        EXPECT_FALSE(
            QFileInfo(saved).completeBaseName().endsWith("." + QFileInfo(odd.file).suffix()))
            << "the extension became part of the name";

        QString error;
        const QJsonObject mutagen = readWithMutagen(saved, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const Probe after = probe(saved);
        ASSERT_TRUE(after.error.isEmpty()) << after.error.toStdString();

        const QString year = odd.emptyYearGenre ? QString() : kYear;
        const QString genre = odd.emptyYearGenre ? QString() : QStringLiteral("Rock");
        // An emptied field must be no item at all, not an empty one.
        const QList<QPair<const char*, QString>> fields = {{"artist", kArtist},
                                                           {"album", kAlbum},
                                                           {"title", title},
                                                           {"date", year},
                                                           {"genre", genre}};
        for (const auto& [key, value] : fields) {
            EXPECT_EQ(readerText(mutagen[key]), readerText(value)) << "mutagen " << key;
            EXPECT_EQ(readerText(after.tags[key]), readerText(value)) << "ffprobe " << key;
        }
        EXPECT_FALSE(mutagen["ape"].toBool());
        if (saved.endsWith(".mp3")) {
            // "1.1" would mean no ID3v2 tag at the start, the values from ID3v1.
            EXPECT_EQ(mutagen["id3"].toString(), odd.asV23 ? "2.3" : "2.4");
        }

        // Players that read ID3v1 first see the new values too.
        const QJsonObject v1 = mutagen["v1"].toObject();
        EXPECT_TRUE(!v1.isEmpty() || !hadV1);
        if (!v1.isEmpty()) {
            EXPECT_EQ(v1["TPE1"].toString(), kArtist);
            EXPECT_EQ(v1["TALB"].toString(), kAlbum);
            EXPECT_EQ(v1["TIT2"].toString(), title);
            EXPECT_EQ(v1["TDRC"].toString(), year);
            EXPECT_EQ(readerText(v1["COMM"]), readerText(QString::fromUtf8(odd.v1Comment)));
        }

        const QStringList stale =
            odd.stale + QStringList{"quiet old song", "Old Artist", "Old Album", "1999"};
        EXPECT_FALSE(containsAny(strings(mutagen["texts"].toArray()), stale))
            << QJsonDocument(mutagen).toJson().toStdString();
        EXPECT_FALSE(containsAny(itemTexts(after.tags), stale))
            << QJsonDocument(after.tags).toJson().toStdString();
        // The custom tag keeps the old search terms on purpose; a stale
        // second tag must be gone from the bytes, not only from the views.
        EXPECT_FALSE(containsAny({QString::fromLatin1(readBytes(saved))}, odd.stale))
            << "the stale tag is still in the file";

        EXPECT_EQ(after.audio, before.audio);
        EXPECT_FALSE(before.audio.md5.isEmpty());
    }
}

namespace {

// TagLib's unified names, as its properties read them from every format.
QJsonObject tagLibProperties(const QString& path) {
    const TagLib::FileRef ref(QFile::encodeName(path).constData());
    QJsonObject out;
    if (ref.isNull()) return out;
    const TagLib::PropertyMap props = ref.file()->properties();
    for (const auto& [key, values] : props)
        out.insert(QString::fromStdString(key.to8Bit(true)).toLower(),
                   QString::fromStdString(values.toString("/").to8Bit(true)));
    return out;
}

// "n/m" whether the format holds the total apart (DISCTOTAL) or not.
QString discOf(const QJsonObject& fields) {
    const QString total = fields["disctotal"].toString();
    return fields["discnumber"].toString() + (total.isEmpty() ? QString() : u'/' + total);
}

QString mbid(const char* prefix, int n) {
    return QString::fromLatin1(prefix) +
           QStringLiteral("-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
}

} // namespace

// A compilation found through a loopback MusicBrainz, one folder per disc
// holding one file of each format, saved and read back by TagLib, mutagen
// and ffprobe:
// each song its own credit, the album artist, the disc n/m and the
// identifiers where other players look for them.
TEST(CliOtherReaders, ACompilationFromMusicBrainzReadsBackEverywhere) {
    LoopbackServer server;
    const QByteArray release = capturedMusicBrainz("release-compilation-two-discs.json");
    server.serve("/ws/2/release/5e1e0000-0000-4000-8000-000000000005", release.toStdString(),
                 "application/json");
    // The search finds the compilation alone.
    QJsonObject search =
        QJsonDocument::fromJson(capturedMusicBrainz("search-compilation.json")).object();
    search["releases"] = QJsonArray{search["releases"].toArray().first()};
    server.serve("/ws/2/release/", QJsonDocument(search).toJson().toStdString(),
                 "application/json");
    const struct Song {
        const char* file;
        const char* title;
        int disc;
        QString artist, artistIds;
        int id; // of the release track; the recording's is 100 more
    } songs[] = {
        {"a.mp3", "Morning Bell", 1, "Dora Lima", mbid("a0000000", 11), 101},
        {"b.m4a", "Two Voices", 1, "Edu Souza feat. Flora Reis",
         mbid("a0000000", 12) + u'/' + mbid("a0000000", 13), 102},
        {"c.flac", "Evening Tide", 2, "Gil Nunes", mbid("a0000000", 14), 105},
        {"d.ogg", "Last Song", 2, "Dora Lima & Edu Souza",
         mbid("a0000000", 11) + u'/' + mbid("a0000000", 12), 106},
    };
    CliEnv env;
    for (const Song& song : songs) {
        const QString dir = env.root() + QStringLiteral("/Disc %1").arg(song.disc);
        QDir().mkpath(dir);
        const QString path = dir + u'/' + QString::fromLatin1(song.file);
        const QByteArray title = song.title;
        bool written = false;
        if (path.endsWith(".mp3")) {
            written =
                writeBytes(path, id3v2Tag(4, {id3v2Frame(4, "TIT2", latin1(song.title)),
                                              id3v2Frame(4, "TALB", latin1("Sunday Songs"))}) +
                                     mp3Audio());
        } else if (path.endsWith(".m4a")) {
            M4aFixtureOptions o;
            o.title = QString::fromLatin1(song.title);
            o.album = QStringLiteral("Sunday Songs");
            written = writeBytes(path, buildM4a(o));
        } else {
            XiphFixtureOptions o;
            o.comments = {"TITLE=" + title, "ALBUM=Sunday Songs"};
            written =
                writeXiphFile(path, path.endsWith(".flac") ? XiphKind::Flac : XiphKind::Vorbis, o);
        }
        ASSERT_TRUE(written) << song.file;
    }

    QHash<QString, QString> saved; // title -> path
    for (int disc : {1, 2}) {
        SCOPED_TRACE(disc);
        const QStringList open = {"open",  env.root() + QStringLiteral("/Disc %1").arg(disc),
                                  "--set", "SearchAMG=NO",
                                  "--set", "SearchGOOG=NO",
                                  "--set", "SearchGNUDB=NO",
                                  "--set", "SearchFreeDB=NO",
                                  "--set", "SearchForCoverArt=NO",
                                  "--set", "SearchMB=YES",
                                  "--set", "SmartCapitalization=NO",
                                  "--set", "MusicBrainzBaseURL=" + server.baseUrl(),
                                  "--json"};
        // The silent files are far shorter than the songs: the medium is
        // chosen by its number among the hits.
        const QJsonArray hits = env.run(open).json()["hits"].toArray();
        const QString key = mbid("#MB:5e1e0000", 5) + QStringLiteral("/%1").arg(disc);
        qsizetype chosen = 0;
        while (chosen < hits.size() && hits[chosen]["key"].toString() != key)
            ++chosen;
        ASSERT_LT(chosen, hits.size());
        const CliResult r =
            env.run(open + QStringList{"--choose", QString::number(chosen + 1), "--save", "--yes"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
        const QJsonObject json = r.json();
        ASSERT_TRUE(json["saved"].toBool()) << r.out.toStdString();
        EXPECT_TRUE(json["variousArtists"].toBool());
        EXPECT_EQ(json["album"]["albumArtist"].toString(), "Various Artists");
        for (const QJsonValue& t : json["tracks"].toArray())
            saved.insert(t["newTitle"].toString(), t["path"].toString());
    }

    for (const Song& song : songs) {
        SCOPED_TRACE(song.file);
        const QString path = saved.value(QString::fromLatin1(song.title));
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        QString error;
        const QJsonObject mutagen = readWithMutagen(path, &error)["more"].toObject();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const QJsonObject taglib = tagLibProperties(path);
        const QList<QPair<const char*, QString>> expected = {
            {"albumartist", "Various Artists"},
            {"musicbrainz_albumid", mbid("5e1e0000", 5)},
            {"musicbrainz_releasegroupid", mbid("9e000000", 5)},
            {"musicbrainz_albumartistid", "89ad4ac3-39f7-470e-963a-56509c546377"},
            {"musicbrainz_releasetrackid", mbid("70000000", song.id)},
            {"musicbrainz_trackid", mbid("60000000", song.id + 100)},
            {"musicbrainz_artistid", song.artistIds},
        };
        for (const auto& [key, value] : expected) {
            EXPECT_EQ(mutagen[key].toString(), value) << "mutagen " << key;
            EXPECT_EQ(taglib[key].toString(), value) << "TagLib " << key;
        }
        const QString disc = QStringLiteral("%1/2").arg(song.disc);
        EXPECT_EQ(discOf(mutagen), disc) << "mutagen";
        EXPECT_EQ(discOf(taglib), disc) << "TagLib";
        EXPECT_EQ(taglib["artist"].toString(), song.artist);
        // ffprobe shows an Ogg file's comments on its stream, not here.
        if (path.endsWith(".ogg")) continue;
        const QJsonObject ff = probe(path).tags;
        EXPECT_EQ(ff["album_artist"].toString(), "Various Artists") << "ffprobe";
        EXPECT_EQ(ff["disc"].toString() + (ff.contains("disctotal") ? "/" : "") +
                      ff["disctotal"].toString(),
                  disc)
            << "ffprobe";
        EXPECT_EQ(ff.contains("musicbrainz_albumid") ? ff["musicbrainz_albumid"]
                                                     : ff["musicbrainz album id"],
                  mbid("5e1e0000", 5))
            << "ffprobe";
    }
}
