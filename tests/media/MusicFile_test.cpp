#include "media/MusicFile.h"

#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/XiphFixture.h"

#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace {

class BareFile : public MusicFile {
public:
    BareFile() : MusicFile(QStringLiteral("/music/01 Song.Mp3")) {}
    bool commitTags() override { return true; }
};

} // namespace

TEST(MusicFileFactory, UnknownExtensionsGiveNull) {
    for (const char* name : {"/x/a.aac", "/x/a.wav", "/x/noext", "/x/a.mp3.txt"})
        EXPECT_EQ(MusicFile::newMusicFileWithPath(QString::fromUtf8(name)), nullptr) << name;
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
    const TagFields albumArtistAndDisc = TagField::AlbumArtist | TagField::Disc | TagField::DiscCount;
    for (const Row& row : rows) {
        const QString path = dir.filePath(QString::fromLatin1(row.name));
        ASSERT_TRUE(row.write(path)) << row.name;
        TagValues tags{.albumArtist = QStringLiteral("Various Artists")};
        tags.setDisc(2, 3);
        auto file = MusicFile::newMusicFileWithPath(path);
        ASSERT_NE(file, nullptr) << row.name;
        file->setTags(tags, albumArtistAndDisc);
        ASSERT_TRUE(file->commitTags()) << row.name;

        file = MusicFile::newMusicFileWithPath(path);
        EXPECT_EQ(file->readTags().albumArtist, QStringLiteral("Various Artists")) << row.name;
        EXPECT_EQ(file->readTags().disc, QStringLiteral("2")) << row.name;
        EXPECT_EQ(file->readTags().discCountNumber(), 3) << row.name;
        file->setTags({.title = QStringLiteral("Another")}, TagField::Title);
        ASSERT_TRUE(file->commitTags()) << row.name;

        const TagValues again = MusicFile::newMusicFileWithPath(path)->readTags();
        EXPECT_EQ(again.title, QStringLiteral("Another")) << row.name;
        EXPECT_FALSE(again.differing(tags) & albumArtistAndDisc) << row.name;
    }
}
