// Track records over real MP3 and M4A files made by the fixture builders.
#include "model/AudioTrack.h"

#include "app/Preferences.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "model/AudioTrackArray.h"
#include "save/SaveBatch.h"
#include "system/AlertHost.h"

#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"
#include "support/RecordingAlerts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class AudioTrackFiles : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }

    QString mp3(const QString& name, const QByteArray& tag = {}) {
        const QString path = fDir.filePath(name);
        EXPECT_TRUE(tag.isEmpty() ? writeSilentMp3(path) : writeMp3WithTag(path, tag));
        return path;
    }
    QString m4a(const QString& name, const M4aFixtureOptions& options = {}) {
        const QString path = fDir.filePath(name);
        EXPECT_TRUE(writeM4a(path, options));
        return path;
    }
    // A file the test made must open: a regression in opening fails here.
    bool opens(const QString& path) {
        return MusicFileFactory::newMusicFileWithPath(path) != nullptr;
    }

    QTemporaryDir fDir;
};

QByteArray titleTag(const QByteArray& title, const QByteArray& track = {}) {
    QList<QByteArray> frames{id3v2Frame(3, "TIT2", id3Latin1TextBody(title))};
    if (!track.isEmpty()) frames << id3v2Frame(3, "TRCK", id3Latin1TextBody(track));
    return id3v2Tag(3, frames);
}

// The tests that do not depend on the tag format run over both types.
class AudioTrackEachType : public AudioTrackFiles,
                           public ::testing::WithParamInterface<const char*> {
protected:
    // A file of the parameter's type whose title tag holds `title`.
    QString file(const QString& base, const QByteArray& title) {
        const QString ext = QString::fromUtf8(GetParam());
        const QString name = base + u'.' + ext;
        if (ext == u"mp3") return mp3(name, titleTag(title));
        M4aFixtureOptions options;
        options.title = QString::fromUtf8(title);
        return m4a(name, options);
    }
};

} // namespace

TEST_F(AudioTrackFiles, Mp3WithoutTitleKeepsAnEmptyTitle) {
    const QString path = mp3(QStringLiteral("bare.mp3"));
    ASSERT_TRUE(opens(path)) << path.toStdString();
    const AudioTrack t = AudioTrack::initWithPath(path);
    EXPECT_TRUE(t.isValid());
    EXPECT_TRUE(t.okToTag());
    EXPECT_TRUE(t.getOldTitle().isEmpty());
    EXPECT_FALSE(t.getOldTitle().isNull());
    EXPECT_EQ(t.getBitrate(), 128);
    EXPECT_EQ(t.getTrackNum(), 0u);
}

TEST_F(AudioTrackFiles, Mp3TagsAreCopiedIntoTheRecord) {
    const QString path = mp3(QStringLiteral("tagged.mp3"), titleTag("Hello", "3/12"));
    ASSERT_TRUE(opens(path)) << path.toStdString();
    const AudioTrack t = AudioTrack::initWithPath(path);
    EXPECT_EQ(t.getOldTitle(), QStringLiteral("Hello"));
    EXPECT_EQ(t.getTrackNum(), 3u);
    EXPECT_EQ(t.tags().trackCountNumber(), 12);
    EXPECT_EQ(t.tags().longTrack(), QStringLiteral("3/12"));
}

TEST_F(AudioTrackFiles, M4aWithoutTitleShowsItsName) {
    M4aFixtureOptions untitled;
    untitled.title = QString();
    const QString path = m4a(QStringLiteral("Untitled Song.m4a"), untitled);
    ASSERT_TRUE(opens(path)) << path.toStdString();
    const AudioTrack t = AudioTrack::initWithPath(path);
    EXPECT_TRUE(t.isValid());
    EXPECT_EQ(t.getOldTitle(), QStringLiteral("Untitled Song"));
    EXPECT_EQ(t.tags().artist, QStringLiteral("Fixture Artist"));
    EXPECT_EQ(t.getTrackNum(), 1u);
    EXPECT_EQ(t.tags().trackCountNumber(), 10);
    EXPECT_EQ(t.getDurationSecs(), 30u);

    const AudioTrack titled = AudioTrack::initWithPath(m4a(QStringLiteral("t.m4a")));
    EXPECT_EQ(titled.getOldTitle(), QStringLiteral("Fixture Title"));
}

TEST_P(AudioTrackEachType, CopiesShareTheMusicFile) {
    const QString path = file(QStringLiteral("a"), "");
    ASSERT_TRUE(opens(path)) << path.toStdString();
    AudioTrack original = AudioTrack::initWithPath(path);
    AudioTrackArray list;
    list.insertObject(original, 0);
    AudioTrackRef inList = list.at(0);
    EXPECT_EQ(inList->musicFile(), original.musicFile());

    inList->writeTags({.title = QStringLiteral("Through the list")}, TagField::Title);
    EXPECT_EQ(original.musicFile()->readTags().title, QStringLiteral("Through the list"));
    EXPECT_NE(original.getOldTitle(), QStringLiteral("Through the list")); // a copy
    original.writeTags({.artist = QStringLiteral("Through the original")}, TagField::Artist);
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*inList->musicFile())));

    const AudioTrack reread = AudioTrack::initWithPath(path);
    EXPECT_EQ(reread.getOldTitle(), QStringLiteral("Through the list"));
    EXPECT_EQ(reread.tags().artist, QStringLiteral("Through the original"));
}

TEST_F(AudioTrackFiles, DecodingReReadsTheFile) {
    const QString path = m4a(QStringLiteral("song.m4a"));
    ASSERT_TRUE(opens(path)) << path.toStdString();
    AudioTrack t = AudioTrack::initWithPath(path);
    t.setPauseSecs(0);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        t.encode(out);
    }
    t.writeTags({.title = QStringLiteral("Written after coding")}, TagField::Title);
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*t.musicFile())));

    QDataStream in(bytes);
    const auto back = AudioTrack::decode(in);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isValid());
    EXPECT_NE(back->musicFile(), t.musicFile());
    EXPECT_EQ(back->getOldTitle(), QStringLiteral("Written after coding"));
    EXPECT_EQ(back->getPauseSecs(), 0);
}

TEST_P(AudioTrackEachType, TwoFilesExchangeNamesInTwoPasses) {
    const QString a = file(QStringLiteral("02-B"), "was B");
    const QString b = file(QStringLiteral("01-A"), "was A");
    ASSERT_TRUE(opens(a)) << a.toStdString();
    const QString ext = QString::fromUtf8(GetParam());
    AudioTrack first = AudioTrack::initWithPath(a);
    AudioTrack second = AudioTrack::initWithPath(b);
    first.updateSong(QStringLiteral("A"), QString(), 1);
    second.updateSong(QStringLiteral("B"), QString(), 2);

    RecordingAlerts alerts;
    ASSERT_TRUE(first.renameToTemp(&alerts));
    ASSERT_TRUE(second.renameToTemp(&alerts));
    EXPECT_TRUE(first.getFileName().startsWith(QStringLiteral(".trovix-%1-").arg(::getpid())));
    EXPECT_TRUE(first.getFileName().endsWith(u'.' + ext));
    EXPECT_NE(first.getFileName(), second.getFileName());
    ASSERT_TRUE(first.rename(NamingOptions(), 0, &alerts));
    ASSERT_TRUE(second.rename(NamingOptions(), 0, &alerts));
    EXPECT_TRUE(alerts.alerts.empty());
    EXPECT_EQ(first.getFileName(), QStringLiteral("01-A.") + ext);
    EXPECT_EQ(second.getFileName(), QStringLiteral("02-B.") + ext);
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files).size(), 2);

    // After refresh, tags are written to the file at its new name.
    first.refresh();
    second.refresh();
    EXPECT_EQ(first.musicFile()->path(), fDir.filePath(QStringLiteral("01-A.") + ext));
    first.writeTags({.title = first.getNewTitle()}, TagField::Title);
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*first.musicFile())));
    EXPECT_EQ(AudioTrack::initWithPath(first.getPath()).getOldTitle(), QStringLiteral("A"));
    EXPECT_EQ(AudioTrack::initWithPath(second.getPath()).getOldTitle(), QStringLiteral("was A"));
}

TEST_F(AudioTrackFiles, PunctuatedTitleKeepsItsTagButNotItsFileName) {
    NamingOptions naming;
    naming.omitChars = QStringLiteral("*?:/\\&");
    const QString path = m4a(QStringLiteral("x.m4a"));
    ASSERT_TRUE(opens(path)) << path.toStdString();
    AudioTrack t = AudioTrack::initWithPath(path);
    t.setNewTitle(QStringLiteral("AC/DC: Live?"));
    t.writeTags({.title = t.getAlbumOrTrackName(naming, std::nullopt, AudioTrack::kTitleTag)},
                TagField::Title);
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*t.musicFile())));
    ASSERT_TRUE(t.renameToTemp());
    ASSERT_TRUE(t.rename(naming, 0));
    t.refresh();
    EXPECT_EQ(t.getFileName(), QStringLiteral("01-ACDC Live.m4a"));
    EXPECT_EQ(AudioTrack::initWithPath(t.getPath()).getOldTitle(), QStringLiteral("AC/DC: Live?"));
}

TEST_P(AudioTrackEachType, RenamingOntoAnExistingNameGivesTheXXXName) {
    const QString existing = file(QStringLiteral("01-Song"), "there first");
    const QString path = file(QStringLiteral("other"), "other");
    ASSERT_TRUE(opens(path)) << path.toStdString();
    const QByteArray before = [&] {
        QFile f(existing);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    AudioTrack t = AudioTrack::initWithPath(path);
    t.setNewTitle(QStringLiteral("Song"));
    RecordingAlerts alerts;
    ASSERT_TRUE(t.rename(NamingOptions(), 0, &alerts));
    EXPECT_EQ(t.getFileName(), QStringLiteral("01-Song.XXX"));
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].title, QStringLiteral("Duplicate Track Name"));
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}
INSTANTIATE_TEST_SUITE_P(Types, AudioTrackEachType, ::testing::Values("mp3", "m4a"),
                         [](const auto& info) { return std::string(info.param); });
