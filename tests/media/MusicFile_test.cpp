#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"

#include "media/MP3File.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/M4aChecks.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"
#include "support/XiphFixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

class BareFile : public MusicFile {
public:
    BareFile() : MusicFile(QStringLiteral("/music/01 Song.Mp3")) {}
};

} // namespace

TEST(MusicFileFactory, UnknownExtensionsGiveNull) {
    for (const char* name : {"/x/a.aac", "/x/a.wav", "/x/noext", "/x/a.mp3.txt"})
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(QString::fromUtf8(name)), nullptr) << name;
}

TEST(MusicFileBase, TrackNumberWithAndWithoutCount) {
    BareFile f;
    const TagFields track = TagField::Track | TagField::TrackCount;
    f.setTags(TagValues::withTrack(5, 0), track);
    EXPECT_EQ(f.readTags().longTrack(), QStringLiteral("5"));
    EXPECT_TRUE(f.readTags().trackCount.isEmpty());
    f.setTags({.track = QStringLiteral("05"), .trackCount = QStringLiteral("9")}, track);
    EXPECT_EQ(f.readTags().longTrack(), QStringLiteral("5/9"));
    EXPECT_EQ(f.readTags().trackCount, QStringLiteral("9"));
    // The numbers follow the texts written.
    EXPECT_EQ(f.readTags().trackNumber(), 5);
}

TEST(MusicFileBase, ExtensionKeepsItsCase) {
    BareFile f;
    EXPECT_EQ(f.extension(), QStringLiteral("Mp3"));
    f.setTags({.year = QStringLiteral("1969")}, TagField::Year);
    EXPECT_EQ(f.readTags().year, QStringLiteral("1969"));
}

// The album artist and the disc number: written where each format keeps
// them, read back, and kept by a save that changes another field.
TEST(MusicFileFormats, AlbumArtistAndDiscSurviveSavesThatDoNotTouchThem) {
    QTemporaryDir dir;
    struct Row {
        const char* name;
        std::function<bool(const QString&)> write;
    } rows[] = {
        {"a.mp3", [](const QString& p) { return writeSilentMp3(p); }},
        {"a.m4a", [](const QString& p) { return writeM4a(p); }},
        {"a.flac", [](const QString& p) { return writeXiphFile(p, XiphKind::Flac); }},
        {"a.ogg", [](const QString& p) { return writeXiphFile(p, XiphKind::Vorbis); }},
    };
    const TagFields albumArtistAndDisc =
        TagField::AlbumArtist | TagField::Disc | TagField::DiscCount;
    for (const Row& row : rows) {
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        ASSERT_TRUE(row.write(path)) << row.name;
        TagValues tags{.albumArtist = QStringLiteral("Various Artists")};
        tags.setDisc(2, 3);
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_NE(file, nullptr) << row.name;
        file->setTags(tags, albumArtistAndDisc);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok()) << row.name;

        file = MusicFileFactory::newMusicFileWithPath(path);
        EXPECT_EQ(file->readTags().albumArtist, QStringLiteral("Various Artists")) << row.name;
        EXPECT_EQ(file->readTags().disc, QStringLiteral("2")) << row.name;
        EXPECT_EQ(file->readTags().discCountNumber(), 3) << row.name;
        file->setTags({.title = QStringLiteral("Another")}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok()) << row.name;

        const TagValues again = MusicFileFactory::newMusicFileWithPath(path)->readTags();
        EXPECT_EQ(again.title, QStringLiteral("Another")) << row.name;
        EXPECT_FALSE(again.differing(tags) & albumArtistAndDisc) << row.name;
    }
}

namespace {

QByteArray utf16Text(const QString& text) {
    QByteArray body("\x01\xFF\xFE", 3);
    body.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return body;
}

QByteArray utf8Text(const QString& text) {
    return QByteArray(1, '\3') + text.toUtf8();
}

QByteArray apicBody(char encoding, const char* mime, char type, const QByteArray& description,
                    const QByteArray& data) {
    return QByteArray(1, encoding) + mime + '\0' + type + description + '\0' + data;
}

// A picture large enough that a save lays the frames out around it.
QByteArray largePng() {
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(20000, 'p');
}

// A tag as other programs write it: non-Latin text, a full date, pictures
// and a user text frame behind the text.
QByteArray richTag(int version, bool latin1Pictures) {
    const auto text = [version](const QString& s) {
        return version == 4 ? utf8Text(s) : utf16Text(s);
    };
    // A UTF-8 description ID3v2.3 cannot hold: TagLib renders that picture.
    const QByteArray front = latin1Pictures ? apicBody('\0', "image/png", 3, "", largePng())
                                            : apicBody('\3', "image/png", 3,
                                                       QStringLiteral("表紙").toUtf8(), largePng());
    return id3v2Tag(version,
                    {id3v2Frame(version, "TIT2", text(QStringLiteral("夜明けの歌"))),
                     id3v2Frame(version, "TPE1", id3Latin1TextBody("Old Artist")),
                     id3v2Frame(version, "TALB", id3Latin1TextBody("Old Album")),
                     id3v2Frame(version, version == 4 ? "TDRC" : "TYER",
                                id3Latin1TextBody(version == 4 ? "1999-03-25" : "1999")),
                     id3v2Frame(version, "TCON", id3Latin1TextBody("Pop")),
                     id3v2Frame(version, "TRCK", id3Latin1TextBody("3/10")),
                     id3v2Frame(version, "APIC", front),
                     id3v2Frame(version, "APIC",
                                apicBody('\0', "image/jpeg", 4, "",
                                         QByteArray("\xFF\xD8\xFF", 3) + QByteArray(3000, 'j'))),
                     id3v2Frame(version, "TXXX", id3Latin1TextBody("INTEROP") + '\0' + "yes")},
                    256);
}

QByteArray vbrAudio() {
    Mp3FixtureOptions o;
    o.xingVbr = true;
    return silentMp3Bytes(o);
}

} // namespace

// Whether a file holds the cover to embed decides whether a save writes
// it; the length known from opening settles most answers without reading
// the picture, and must never say no to the file's own bytes.
TEST(MusicFileFormats, ACoverIsHeldOnlyByItsOwnBytes) {
    const QByteArray png = largePng();
    const auto apic = [](char type, const QByteArray& description, const QByteArray& data) {
        return apicBody('\0', "image/png", type, description, data);
    };
    const auto mp3 = [](QList<QByteArray> frames) {
        return [frames](const QString& p) { return writeBytes(p, id3v2Tag(3, frames) + vbrAudio()); };
    };
    const auto xiph = [&png](XiphKind kind) {
        return [kind, &png](const QString& p) {
            XiphFixtureOptions o;
            o.pictures = {{0, QByteArray("\x89PNG\r\n\x1A\nother", 13)}, {3, png}};
            return writeXiphFile(p, kind, o);
        };
    };
    struct Row {
        const char* name;
        std::function<bool(const QString&)> write;
    } rows[] = {
        {"front.mp3", mp3({id3v2Frame(3, "APIC", apic(3, "", png))})},
        {"long_description.mp3",
         mp3({id3v2Frame(3, "APIC", apic(0, "x", "other")),
              id3v2Frame(3, "APIC", apic(3, QByteArray(6000, 'd'), png))})},
        {"cover.m4a",
         [&png](const QString& p) {
             M4aFixtureOptions o;
             o.cover = png;
             return writeM4a(p, o);
         }},
        {"cover.flac", xiph(XiphKind::Flac)},
        {"cover.ogg", xiph(XiphKind::Vorbis)},
        {"cover.opus", xiph(XiphKind::Opus)},
    };
    QTemporaryDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        ASSERT_TRUE(row.write(path));
        const std::shared_ptr<MusicFile> file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        // Once as opened, once with the tag read whole for writing.
        for (int pass = 0; pass < 2; ++pass) {
            const QByteArray own = file->getImageData();
            ASSERT_EQ(own, png);
            QByteArray changed = own;
            changed.back() = 'q';
            QByteArray changedInside = own; // in the first piece read; `changed` in the last
            changedInside[own.size() / 2] = char(~own[own.size() / 2]);
            EXPECT_TRUE(file->holdsImageData(own));
            EXPECT_FALSE(file->holdsImageData(changed));
            EXPECT_FALSE(file->holdsImageData(changedInside));
            EXPECT_FALSE(file->holdsImageData(own + 'q'));
            EXPECT_FALSE(file->holdsImageData(QByteArray()));
            file->setTags({.title = QStringLiteral("Written")}, TagField::Title);
        }
    }
    const QString bare = dir.filePath(QStringLiteral("bare.mp3"));
    ASSERT_TRUE(writeSilentMp3(bare));
    const std::shared_ptr<MusicFile> file = MusicFileFactory::newMusicFileWithPath(bare);
    EXPECT_TRUE(file->holdsImageData(QByteArray()));
    EXPECT_FALSE(file->holdsImageData(png));
}

// A save writes what the tags hold, the same through a copy of the opened
// object; saving the same values again finds nothing to write, whatever the
// first save converted or laid out.
TEST(MusicFileSaves, SavingTheSameValuesAgainWritesNothing) {
    struct Row {
        const char* name;
        std::function<bool(const QString&)> write;
        int tagVersion = 3; // ID3v2.4; 2 writes ID3v2.3
    };
    const auto mp3 = [](QByteArray tag) {
        return [tag](const QString& p) { return writeBytes(p, tag + vbrAudio()); };
    };
    const auto xiph = [](XiphKind kind) {
        return [kind](const QString& p) {
            XiphFixtureOptions o;
            o.comments = {"TITLE=夜明けの歌", "TOTALTRACKS=10", "COMMENT=kept"};
            return writeXiphFile(p, kind, o);
        };
    };
    const Row rows[] = {
        {"v24_saved_as_v23.mp3", mp3(richTag(4, true)), 2},
        {"v24_utf8_pictures_saved_as_v23.mp3", mp3(richTag(4, false)), 2},
        {"v24.mp3", mp3(richTag(4, true))},
        {"v23_saved_as_v24.mp3", mp3(richTag(3, true))},
        {"v23.mp3", mp3(richTag(3, true)), 2},
        {"untagged.mp3", mp3(QByteArray())},
        {"plain.m4a", [](const QString& p) { return writeM4a(p); }},
        {"large_cover.m4a",
         [](const QString& p) {
             M4aFixtureOptions o;
             o.cover = largePng();
             return writeM4a(p, o);
         }},
        {"song.flac", xiph(XiphKind::Flac)},
        {"song.ogg", xiph(XiphKind::Vorbis)},
        {"song.opus", xiph(XiphKind::Opus)},
        {"song.oga", xiph(XiphKind::OggFlac)},
    };
    CustomTag custom;
    custom.setSavedSearchTerms(QStringLiteral("Old Artist / Old Album"));
    // Every field a save writes, album artist, disc and identifiers
    // included; the artist ids two values.
    const QString id = QStringLiteral("5e1e0000-0000-4000-8000-00000000000");
    const TagValues values{.title = QStringLiteral("夜明けの歌"),
                           .artist = QStringLiteral("Old Artist feat. Guest"),
                           .albumArtist = QStringLiteral("Old Artist"),
                           .album = QStringLiteral("新しいアルバム"),
                           .year = QStringLiteral("2011"),
                           .genre = QStringLiteral("Pop"),
                           .track = QStringLiteral("3"),
                           .trackCount = QStringLiteral("10"),
                           .disc = QStringLiteral("2"),
                           .discCount = QStringLiteral("3"),
                           .custom = custom,
                           .mbReleaseId = id + u'1',
                           .mbReleaseGroupId = id + u'2',
                           .mbReleaseTrackId = id + u'3',
                           .mbRecordingId = id + u'4',
                           .mbArtistId = id + u'5' + u'/' + id + u'6',
                           .mbAlbumArtistId = id + u'5'};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        ASSERT_TRUE(row.write(path));
        // The same file again, saved through a copy of its opened object, as
        // a folder's save does.
        const QString copiedPath = dir.filePath(QStringLiteral("copied ") + row.name);
        ASSERT_TRUE(row.write(copiedPath));
        ASSERT_EQ(readBytes(copiedPath), readBytes(path));
        // As a save sets them: every field, then the custom tag.
        const auto tagged = [&](std::shared_ptr<MusicFile> music) {
            if (!music) return music;
            if (auto* mp3 = dynamic_cast<MP3File*>(music.get())) mp3->setTagVersion(row.tagVersion);
            music->setTags(values, TagValues::kTexts);
            music->setTags(values, TagField::Custom);
            return music;
        };
        const auto open = [&] { return tagged(MusicFileFactory::newMusicFileWithPath(path)); };
        const std::shared_ptr<MusicFile> first = open();
        ASSERT_TRUE(first);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*first)));
        const QByteArray saved = readBytes(path);

        const std::shared_ptr<MusicFile> opened = MusicFileFactory::newMusicFileWithPath(copiedPath);
        ASSERT_TRUE(opened);
        const TagValues openedTags = opened->readTags();
        const std::shared_ptr<MusicFile> copy = tagged(opened->copyAsOpened());
        ASSERT_TRUE(copy);
        // Past the clock's step, so the write shows in the modification time.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*copy)));
        EXPECT_TRUE(readBytes(copiedPath) == saved) << "the copy saved other bytes";
        EXPECT_EQ(opened->readTags().differing(openedTags), TagFields());
        // A second copy of the object opened before that save is refused:
        // the file changed since.
        const std::shared_ptr<MusicFile> stale = tagged(opened->copyAsOpened());
        EXPECT_EQ(int(stale->planSave().kind), int(SavePlan::Kind::Refused));

        const std::shared_ptr<MusicFile> second = open();
        ASSERT_TRUE(second);
        EXPECT_EQ(int(second->planSave().kind), int(SavePlan::Kind::Nothing));
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*second)));
        EXPECT_TRUE(readBytes(path) == saved) << "the second save changed bytes";
        // Every field reads back as written (MPEG-4 files hold no custom tag).
        const TagValues read = MusicFileFactory::newMusicFileWithPath(path)->readTags();
        EXPECT_EQ(read.differing(values) & TagValues::kTexts, TagFields())
            << std::hex << (read.differing(values) & TagValues::kTexts).toInt();
    }
}
