#include "art/AlbumArt.h"
#include "art/CoverFiles.h"
#include "media/MusicFile.h"
#include "pictures/QtPictureCodec.h"
#include "save/SaveBatch.h"

#include "app/Preferences.h"
#include "model/AudioTrack.h"
#include "support/M4aChecks.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"
#include "support/Pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The embedded cover as the file holds it, read past the program's own
// readers: the JPEG front cover of the APIC frame, or the PNG "covr" item.
QImage embeddedCover(const QString& path) {
    if (path.endsWith(".m4a")) {
        const TagLibView view = readWithTagLib(path);
        if (view.cover.isEmpty() || view.coverFormat != 14) return {};
        return QImage::fromData(view.cover, "PNG");
    }
    const QByteArray body = readRawId3v2(path).body("APIC");
    if (body.isNull()) return {};
    // encoding, MIME type NUL, picture type, description NUL, data
    const qsizetype mimeEnd = body.indexOf('\0', 1);
    const qsizetype descrEnd = body.indexOf('\0', mimeEnd + 2);
    if (body.mid(1, mimeEnd - 1) != "image/jpeg" || body.at(mimeEnd + 1) != 3) return {};
    return QImage::fromData(body.mid(descrEnd + 1), "JPEG");
}

// Every case runs over an MP3 and an M4A file.
class AlbumArtSaveTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(fDir.isValid());
        fTrack = fDir.filePath(QStringLiteral("01 Track.") + GetParam());
        ASSERT_TRUE(fTrack.endsWith(".m4a") ? writeM4a(fTrack) : writeSilentMp3(fTrack));
        fOptions.fileName = QStringLiteral("Cover Art");
        fOptions.resize = true;
        fOptions.resizePixels = 50;
        fOptions.resizeOption = 0;
        fArt.setImageFromImage(QtPictureCodec::fromImage(picture(200, 100, Qt::darkGreen)), "drop",
                               QString(), 101);
    }
    void coverSwitches(bool embed, bool toFile) {
        fOptions.embed = embed;
        fOptions.saveToFile = toFile;
    }
    // Saves through a fresh record, as the folder document does.
    void save() {
        AudioTrack track = AudioTrack::initWithPath(fTrack);
        ASSERT_TRUE(track.isValid());
        fArt.saveImage(track, fDir.path(), fOptions);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*track.musicFile())));
    }
    void embedOldCover() {
        AudioTrack track = AudioTrack::initWithPath(fTrack);
        track.tagImage(QtPictureCodec::fromImage(picture(20, 20, Qt::yellow)));
        ASSERT_TRUE(SaveBatch::saveOne(*track.musicFile()).ok());
        ASSERT_FALSE(embeddedCover(fTrack).isNull());
    }
    QString coverFile() const { return fDir.filePath("Cover Art.jpg"); }

    QTemporaryDir fDir;
    QString fTrack;
    AlbumArt fArt;
    CoverOptions fOptions;
};

TEST_P(AlbumArtSaveTest, OnlyToFileMovesTheCoverOutOfTheTags) {
    embedOldCover();
    coverSwitches(false, true);
    save();
    EXPECT_TRUE(embeddedCover(fTrack).isNull());
    EXPECT_FALSE(readRawId3v2(fTrack).ids().contains("APIC"));
    EXPECT_TRUE(readWithTagLib(fTrack).cover.isEmpty());
    QImageReader reader(coverFile());
    EXPECT_EQ(reader.format(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(200, 100)); // the file is not scaled
    // No temporary left behind.
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files).size(), 2);
}

TEST_P(AlbumArtSaveTest, OnlyEmbedStoresTheScaledCoverAndNoFile) {
    coverSwitches(true, false);
    save();
    const QImage cover = embeddedCover(fTrack);
    EXPECT_EQ(cover.size(), QSize(50, 25));
    EXPECT_FALSE(QFileInfo::exists(coverFile()));
}

TEST_P(AlbumArtSaveTest, BothSwitchesKeepTheEmbeddedCoverAndWriteTheFile) {
    coverSwitches(true, true);
    save();
    EXPECT_EQ(embeddedCover(fTrack).size(), QSize(50, 25));
    EXPECT_EQ(QImageReader(coverFile()).size(), QSize(200, 100));
}

TEST_P(AlbumArtSaveTest, NothingShownLeavesTagsAndFolderAlone) {
    embedOldCover();
    coverSwitches(true, true);
    fArt.clear();
    save();
    EXPECT_EQ(embeddedCover(fTrack).size(), QSize(20, 20));
    EXPECT_FALSE(QFileInfo::exists(coverFile()));
}

TEST_P(AlbumArtSaveTest, AFileThatCannotBeWrittenKeepsTheEmbeddedCover) {
    embedOldCover();
    coverSwitches(false, true);
    fOptions.fileName = QStringLiteral("no such folder/Cover");
    save();
    EXPECT_EQ(embeddedCover(fTrack).size(), QSize(20, 20));
}

TEST_P(AlbumArtSaveTest, ARewriteReplacesTheWholeFile) {
    coverSwitches(false, true);
    QFile old(coverFile());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1 << 20, 'x')); // longer than the new picture
    old.close();
    save();
    save();
    EXPECT_EQ(QImageReader(coverFile()).size(), QSize(200, 100));
    EXPECT_LT(QFileInfo(coverFile()).size(), 1 << 20);
}

TEST_P(AlbumArtSaveTest, SingleFileEmbedsTheScaledCover) {
    AudioTrack track = AudioTrack::initWithPath(fTrack);
    fArt.saveImage(track, fOptions);
    ASSERT_TRUE(SaveBatch::saveOne(*track.musicFile()).ok());
    EXPECT_EQ(embeddedCover(fTrack).size(), QSize(50, 25));
    EXPECT_EQ(track.getImage().size(), QSize(50, 25));
}

INSTANTIATE_TEST_SUITE_P(Files, AlbumArtSaveTest, ::testing::Values("mp3", "m4a"));

TEST(AlbumArtCoverFile, WriteFailsCleanlyForAMissingFolderOrPicture) {
    QTemporaryDir dir;
    EXPECT_FALSE(CoverFiles::writeCoverFile(QtPictureCodec::fromImage(picture(2, 2, Qt::darkGreen)),
                                            dir.filePath("none/x.jpg")));
    EXPECT_FALSE(CoverFiles::writeCoverFile(Picture(), dir.filePath("x.jpg")));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

} // namespace
