#include "model/AudioTrack.h"

#include "model/AudioTrackArray.h"
#include "support/FileBytes.h"
#include "support/RecordingAlerts.h"
#include "system/AlertHost.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QByteArray encoded(const AudioTrack& t) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    t.encode(out);
    return bytes;
}

std::optional<AudioTrack> decoded(const QByteArray& bytes) {
    QDataStream in(bytes);
    return AudioTrack::decode(in);
}

// A record for a file of no music type: a real file to move, with a title
// and row set by hand.
AudioTrack fileRecord(const QString& folder, const QString& name, const QString& title,
                      uint32_t row) {
    EXPECT_TRUE(writeBytes(folder + u'/' + name, name.toUtf8()));
    AudioTrack t = AudioTrack::initWithPath(folder + u'/' + name);
    t.setNewTitle(title);
    t.setRow(row);
    return t;
}

} // namespace

TEST(AudioTrack, PlaceholderHasNoFileAndAMissingTitle) {
    const AudioTrack t = AudioTrack::initPlaceholder(QStringLiteral("/music/album"));
    EXPECT_TRUE(t.isPlaceholder());
    EXPECT_FALSE(t.isValid());
    EXPECT_FALSE(t.okToTag());
    EXPECT_EQ(t.getFolder(), QStringLiteral("/music/album"));
    EXPECT_EQ(t.getOldTitle(), QStringLiteral("(Missing track)"));
    EXPECT_TRUE(t.getDisplayName().isNull());
    EXPECT_EQ(t.getPauseSecs(), 2);
    EXPECT_EQ(t.getDurationSecs(), 0u);
    EXPECT_EQ(t.description(), QStringLiteral("<AudioTrack: \"\">"));
}

TEST(AudioTrack, PathOfAnUnsupportedFileGivesARecordWithoutFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeBytes(path, "x"));
    AudioTrack t = AudioTrack::initWithPath(path);
    EXPECT_FALSE(t.isValid());
    EXPECT_FALSE(t.isPlaceholder());
    EXPECT_TRUE(t.okToTag());
    EXPECT_EQ(t.getFolder(), dir.path());
    EXPECT_EQ(t.getFileName(), QStringLiteral("notes.txt"));
    EXPECT_EQ(t.getPath(), path);
    EXPECT_EQ(t.getOldTitle(), QStringLiteral("notes")); // the name without its extension
    EXPECT_EQ(t.getDisplayName(), QStringLiteral("notes.txt"));
    EXPECT_EQ(t.musicFile(), nullptr); // nothing a save could write
}

TEST(AudioTrack, NewTitleAndArtistAreNeverStoredEmpty) {
    AudioTrack t = AudioTrack::initPlaceholder(QStringLiteral("/a"));
    EXPECT_EQ(t.getNewTitle(), QStringLiteral(""));
    EXPECT_FALSE(t.getNewTitle().isNull());
    t.setAlbumDetails_Title(QStringLiteral("Details"));
    EXPECT_EQ(t.getNewTitle(), QStringLiteral("Details"));
    EXPECT_FALSE(t.hasNewTitle());
    t.setNewTitle(QStringLiteral("Mine"));
    EXPECT_EQ(t.getNewTitle(), QStringLiteral("Mine"));
    EXPECT_TRUE(t.hasNewTitle());
    t.setNewTitle(QStringLiteral(""));
    EXPECT_FALSE(t.hasNewTitle());
    EXPECT_EQ(t.getNewTitle(), QStringLiteral("Details"));

    t.updateSong(QStringLiteral("Song"), QStringLiteral("Artist"), 4);
    EXPECT_EQ(t.getNewTitle(), QStringLiteral("Song"));
    EXPECT_EQ(t.getNewArtist(), QStringLiteral("Artist"));
    EXPECT_EQ(t.getRow(), 3u);
    t.setNewArtist(QString());
    EXPECT_FALSE(t.hasNewArtist());
    EXPECT_EQ(t.getNewArtist(), QStringLiteral(""));
}

TEST(AudioTrack, TrackTexts) {
    AudioTrack t = AudioTrack::initPlaceholder(QStringLiteral("/a"));
    t.setTags(TagValues::withTrack(5, 0), TagField::Track | TagField::TrackCount);
    EXPECT_EQ(t.tags().longTrack(), QStringLiteral("5"));
    EXPECT_EQ(t.tags().track, QStringLiteral("5"));
    EXPECT_EQ(t.tags().trackCount, QStringLiteral(""));
    EXPECT_EQ(t.getTrackNum(), 5u);
    t.writeTags(TagValues::withTrack(5, 9),
                TagField::Track | TagField::TrackCount); // no file: the record alone changes
    EXPECT_EQ(t.tags().longTrack(), QStringLiteral("5/9"));
    EXPECT_EQ(t.tags().trackCount, QStringLiteral("9"));
    EXPECT_EQ(t.tags().trackCountNumber(), 9);
    t.setTags({.year = QString::number(1969)}, TagField::Year);
    EXPECT_EQ(t.tags().year, QStringLiteral("1969"));
}

TEST(AudioTrack, CompareIndexPutsUnnumberedTracksAfter99) {
    auto track = [](uint32_t n, const char* name) {
        AudioTrack t = AudioTrack::initPlaceholder(QStringLiteral("/a"));
        t.setFileName(QString::fromUtf8(name));
        t.setTags(TagValues::withTrack(int(n), 0), TagField::Track | TagField::TrackCount);
        return t;
    };
    EXPECT_GT(track(0, "a").compareIndex(track(99, "z")), 0);
    EXPECT_LT(track(99, "z").compareIndex(track(0, "a")), 0);
    EXPECT_LT(track(2, "z").compareIndex(track(10, "a")), 0);
    EXPECT_LT(track(0, "a").compareIndex(track(0, "b")), 0);
    EXPECT_EQ(track(100, "a").compareIndex(track(0, "a")), 0);
    // Literal order: capitals before small letters.
    EXPECT_LT(track(3, "B").compareIndex(track(3, "a")), 0);
}

TEST(AudioTrackCoding, PlaceholdersCodeTheirMissingNames) {
    const QByteArray bytes = encoded(AudioTrack::initPlaceholder(QStringLiteral("/music/x")));
    QDataStream in(bytes);
    QString folder, file;
    qint32 pause = 0;
    in >> folder >> file >> pause;
    EXPECT_EQ(folder, QStringLiteral("/music/x"));
    EXPECT_EQ(file, QStringLiteral("(nil)"));
    EXPECT_EQ(pause, 2);
    EXPECT_TRUE(in.atEnd());

    auto back = decoded(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isPlaceholder());
    EXPECT_EQ(back->getFolder(), QStringLiteral("/music/x"));

    AudioTrack orphan = AudioTrack::initPlaceholder(QString());
    orphan.setPauseSecs(-7);
    back = decoded(encoded(orphan));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isPlaceholder());
    EXPECT_TRUE(back->getFolder().isNull());
    EXPECT_EQ(back->getPauseSecs(), -7);
}

TEST(AudioTrackCoding, DecodingReopensTheFileAndDropsEverythingElse) {
    QTemporaryDir dir;
    AudioTrack t = fileRecord(dir.path(), QStringLiteral("a.txt"), QStringLiteral("New"), 4);
    t.setPauseSecs(5);
    auto back = decoded(encoded(t));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->getPath(), t.getPath());
    EXPECT_EQ(back->getPauseSecs(), 5);
    EXPECT_FALSE(back->hasNewTitle()); // read again, not copied
    EXPECT_EQ(back->getRow(), 0u);
}

TEST(AudioTrackCoding, DamagedStreamGivesNothing) {
    const QByteArray bytes = encoded(AudioTrack::initPlaceholder(QStringLiteral("/music/x")));
    for (qsizetype n : {qsizetype(0), qsizetype(3), bytes.size() - 1})
        EXPECT_FALSE(decoded(bytes.left(n))) << n;
}

TEST(AudioTrackRename, TemporaryNamesSkipTakenOnes) {
    QTemporaryDir dir;
    const QString taken = QStringLiteral(".trovix-%1-0.txt").arg(::getpid());
    ASSERT_TRUE(writeBytes(dir.filePath(taken), "keep"));
    AudioTrack t = fileRecord(dir.path(), QStringLiteral("x.txt"), QStringLiteral("X"), 0);
    ASSERT_TRUE(t.renameToTemp());
    // Hidden, and still a file of its type.
    EXPECT_EQ(t.getFileName(), QStringLiteral(".trovix-%1-1.txt").arg(::getpid()));
    EXPECT_TRUE(AudioTrack::isTempFileName(t.getFileName()));
    EXPECT_EQ(readBytes(dir.filePath(taken)), QByteArray("keep"));
}

TEST(AudioTrackRename, TakenNameGetsTheXXXNameAndOneAlert) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(dir.filePath(QStringLiteral("01-Song.txt")), "keep"));
    AudioTrack t = fileRecord(dir.path(), QStringLiteral("old.txt"), QStringLiteral("Song"), 0);
    RecordingAlerts alerts;
    ASSERT_TRUE(t.rename(NamingOptions(), 0, &alerts));
    EXPECT_EQ(t.getFileName(), QStringLiteral("01-Song.XXX"));
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].title, QStringLiteral("Duplicate Track Name"));
    EXPECT_EQ(alerts.alerts[0].buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(alerts.alerts[0].message,
              QStringLiteral("A file named \"01-Song.txt\" already exists. A file named "
                             "\"01-Song.XXX\" will be created. Make sure the Track Name template "
                             "specifies unique track names in the Preferences."));
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("01-Song.txt"))), QByteArray("keep"));
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("01-Song.XXX"))), QByteArray("old.txt"));

    // A second record with the same name finds the ".XXX" name taken too.
    AudioTrack other =
        fileRecord(dir.path(), QStringLiteral("other.txt"), QStringLiteral("Song"), 0);
    ASSERT_TRUE(other.rename(NamingOptions(), 0, &alerts));
    EXPECT_EQ(other.getFileName(), QStringLiteral("01-Song 2.XXX"));
    ASSERT_EQ(alerts.alerts.size(), 2u);
    EXPECT_TRUE(alerts.alerts[1].message.contains(QStringLiteral("\"01-Song 2.XXX\"")));
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("01-Song.XXX"))), QByteArray("old.txt"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST(AudioTrackRename, AFolderInTheWayCountsAsTaken) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("01-Song.txt")));
    AudioTrack t = fileRecord(dir.path(), QStringLiteral("old.txt"), QStringLiteral("Song"), 0);
    ASSERT_TRUE(t.rename(NamingOptions(), 0)); // no alert host: logged
    EXPECT_EQ(t.getFileName(), QStringLiteral("01-Song.XXX"));
}

TEST(AudioTrackRename, RenamingToItsOwnNameDoesNothing) {
    QTemporaryDir dir;
    AudioTrack t = fileRecord(dir.path(), QStringLiteral("01-Song.txt"), QStringLiteral("Song"), 0);
    RecordingAlerts alerts;
    EXPECT_TRUE(t.rename(NamingOptions(), 0, &alerts));
    EXPECT_EQ(t.getFileName(), QStringLiteral("01-Song.txt"));
    EXPECT_TRUE(alerts.alerts.empty());
    EXPECT_FALSE(t.needsRefresh());
}

TEST(AudioTrackRename, FailedMoveKeepsTheOldNameAndAlerts) {
    QTemporaryDir dir;
    AudioTrack t = fileRecord(dir.path(), QStringLiteral("gone.txt"), QStringLiteral("Song"), 0);
    ASSERT_TRUE(QFile::remove(t.getPath()));
    RecordingAlerts alerts;
    EXPECT_FALSE(t.rename(NamingOptions(), 0, &alerts));
    EXPECT_FALSE(t.renameToTemp(&alerts));
    EXPECT_EQ(t.getFileName(), QStringLiteral("gone.txt"));
    EXPECT_FALSE(t.needsRefresh());
    ASSERT_EQ(alerts.alerts.size(), 2u);
    EXPECT_EQ(alerts.alerts[0].title, QStringLiteral("Could Not Rename Track"));
    EXPECT_TRUE(alerts.alerts[0].message.contains(QStringLiteral("gone.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("01-Song.txt"))));
}
