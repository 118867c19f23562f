#include "media/MusicFile.h"
#include "media/RollbackJournal.h"
#include "media/SaveBatch.h"
#include "media/SavePlan.h"
#include "support/ForkedSave.h"
#include "support/M4aChecks.h"
#include "support/RandomBytes.h"
#include "system/SaveSteps.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList journals(const QString& dir) {
    return QDir(dir).entryList(
        {QStringLiteral(".trovix-rollback-*.journal"), QStringLiteral(".trovix-tags-*.journal")},
        QDir::Files | QDir::Hidden);
}

void retitle(const QString& path) {
    auto file = MusicFile::newMusicFileWithPath(path);
    file->setTags({.title = QStringLiteral("Another title")}, TagField::Title);
    file->commitTags();
}

// A journal as the first format wrote it, for one file whose bytes at
// `offset` change from `old` to `now`: every region's old and new bytes,
// then the SHA-256 of all of it.
QByteArray firstFormatJournal(const QString& path, qint64 offset, const QByteArray& old,
                              const QByteArray& now) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << QByteArrayLiteral("TROVIX-ROLLBACK-1") << quint32(1) << QFile::encodeName(path)
        << quint64(st.st_dev) << quint64(st.st_ino) << quint64(st.st_size) << quint64(st.st_size)
        << quint32(1) << quint64(offset) << old << now;
    return bytes + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

TEST(RollbackJournal, AJournalOfTheFirstFormatIsStillFinished) {
    // Left by an older build: a torn file gets its old bytes back, a file
    // holding all of its new bytes keeps them, one changed since is left alone.
    const QByteArray old = QByteArray(6000, 'o') + "old tail";
    const QByteArray now = QByteArray(6000, 'n') + "new tail";
    const struct {
        const char* name;
        QByteArray found; // at the region after the kill
        bool restored;
    } cases[] = {
        {"torn", now.left(3000) + old.mid(3000), true},
        {"all new", now, false},
        {"changed since", now.left(3000) + QByteArray(old.size() - 3000, 't'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString song = dir.filePath(QStringLiteral("song.mp3"));
        const QByteArray head(100, 'h'), tail(200, 'a');
        ASSERT_TRUE(writeBytes(song, head + c.found + tail));
        const QString journal = dir.filePath(QStringLiteral(".trovix-tags-1-1.journal"));
        ASSERT_TRUE(writeBytes(journal, firstFormatJournal(song, head.size(), old, now)));
        EXPECT_EQ(SaveBatch::recover(dir.path()),
                  c.restored ? QStringList{QStringLiteral("song.mp3")} : QStringList());
        EXPECT_EQ(readBytes(song), head + (c.restored ? old : c.found) + tail);
        EXPECT_EQ(journals(dir.path()), QStringList());
    }
}

TEST(RollbackJournal, ATornRegionIsPutBackWhateverItsNewBytesLookLike) {
    // The journal keeps a region's new bytes as runs of its old ones and
    // what is new; recovery must rebuild them exactly to tell a torn write
    // from another program's change.
    QRandomGenerator random(11);
    const QByteArray cover = randomBytes(random, 40000), other = randomBytes(random, 30000);
    const struct {
        const char* name;
        QByteArray old, now;
    } cases[] = {
        {"moved back", "title" + cover + QByteArray(100, '\0'),
         "a longer title" + cover + QByteArray(91, '\0')},
        {"moved ahead", "a longer title" + cover + QByteArray(91, '\0'),
         "title" + cover + QByteArray(100, '\0')},
        {"swapped", cover + other, other + cover},
        {"all new", cover, randomBytes(random, cover.size())},
        {"short", "old", "new"},
        {"runs of one byte", QByteArray(9000, 'p') + "x", "y" + QByteArray(9000, 'p')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.old.size(), c.now.size());
        QTemporaryDir dir;
        const QString song = dir.filePath(QStringLiteral("song.mp3"));
        const QByteArray head(100, 'h'), tail(200, 'a');
        ASSERT_TRUE(writeBytes(song, head + c.old + tail));
        SavePlan plan;
        plan.kind = SavePlan::Kind::InPlace;
        plan.target = song;
        ASSERT_EQ(::stat(QFile::encodeName(song).constData(), &plan.seen), 0);
        plan.newSize = uint64_t(plan.seen.st_size);
        plan.regions.push_back({uint64_t(head.size()), c.now, c.old});
        {
            RollbackJournal journal; // closed without removal, as by a crash
            QString why;
            ASSERT_TRUE(journal.write(dir.path(), {&plan}, &why)) << why.toStdString();
        }
        const qsizetype middle = c.now.size() / 2 + 1;
        ASSERT_TRUE(writeBytes(song, head + c.now.left(middle) + c.old.mid(middle) + tail));
        EXPECT_EQ(SaveBatch::recover(dir.path()), QStringList{QStringLiteral("song.mp3")});
        EXPECT_EQ(readBytes(song), head + c.old + tail);
        EXPECT_EQ(journals(dir.path()), QStringList());
    }
}

TEST(RollbackJournal, AWriteOfSeveralRegionsTornBetweenThemIsPutBack) {
    // Two changed tags around an unchanged cover: two regions, the cover in
    // neither. A crash after the first region, or inside the second, must
    // leave the old file.
    const QByteArray cover(50000, 'c');
    const QByteArray old = "title" + cover + "artist", now = "TITLE" + cover + "ARTIST";
    const QByteArray head(100, 'h');
    SavePlan plan;
    plan.addChangedBytes(uint64_t(head.size()), old, now);
    ASSERT_EQ(plan.regions.size(), 2u);
    const QByteArray firstOnly = "TITLE" + cover + "artist";
    const QByteArray secondTorn = "TITLE" + cover + "ARTist";
    for (const QByteArray& found : {firstOnly, secondTorn}) {
        QTemporaryDir dir;
        const QString song = dir.filePath(QStringLiteral("song.m4a"));
        ASSERT_TRUE(writeBytes(song, head + old));
        plan.kind = SavePlan::Kind::InPlace;
        plan.target = song;
        ASSERT_EQ(::stat(QFile::encodeName(song).constData(), &plan.seen), 0);
        plan.newSize = uint64_t(plan.seen.st_size);
        {
            RollbackJournal journal; // closed without removal, as by a crash
            QString why;
            ASSERT_TRUE(journal.write(dir.path(), {&plan}, &why)) << why.toStdString();
        }
        ASSERT_TRUE(writeBytes(song, head + found));
        EXPECT_EQ(SaveBatch::recover(dir.path()), QStringList{QStringLiteral("song.m4a")});
        EXPECT_EQ(readBytes(song), head + old);
        EXPECT_EQ(journals(dir.path()), QStringList());
    }
}

TEST(RollbackJournal, AJournalCutShortIsRemovedOnceItsSaveIsGone) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.m4a"));
    ASSERT_TRUE(writeM4a(song));
    const QByteArray bytes = readBytes(song);
    const pid_t gone = [] {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(0);
        ::waitpid(pid, nullptr, 0);
        return pid;
    }();
    const QString dead = dir.filePath(QStringLiteral(".trovix-tags-%1-1.journal").arg(gone));
    const QString alive = dir.filePath(QStringLiteral(".trovix-tags-%1-1.journal").arg(::getpid()));
    ASSERT_TRUE(writeBytes(dead, "TROVIX-ROLL"));
    ASSERT_TRUE(writeBytes(alive, "TROVIX-ROLL"));
    EXPECT_EQ(SaveBatch::recover(dir.path()), QStringList());
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(alive)); // its save may still be writing it
    EXPECT_EQ(readBytes(song), bytes);
}

TEST(RollbackJournal, AJournalHeldByARunningSaveIsLeftAlone) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.m4a"));
    ASSERT_TRUE(writeM4a(song));
    QStringList seen;
    QStringList restored = {QStringLiteral("not called")};
    SaveSteps::setHook([&](const char* step) {
        if (qstrcmp(step, "tags-write") != 0) return;
        seen = journals(dir.path());
        restored = SaveBatch::recover(dir.path()); // as a second window opening the folder
    });
    auto file = MusicFile::newMusicFileWithPath(song);
    file->setTags({.title = QStringLiteral("Mine")}, TagField::Title);
    const bool saved = file->commitTags();
    SaveSteps::setHook({});
    EXPECT_TRUE(saved);
    EXPECT_EQ(seen.size(), 1);
    EXPECT_EQ(restored, QStringList());
    EXPECT_EQ(journals(dir.path()), QStringList());
    EXPECT_EQ(readWithTagLib(song).title, QStringLiteral("Mine"));
}

TEST(RollbackJournal, AFileChangedByAnotherProgramSinceIsLeftAlone) {
    // The save finished its writes but died before dropping its journal;
    // then another program changed the file. Its bytes are neither the old
    // nor the new ones: not a torn write, and not ours to undo.
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.m4a"));
    ASSERT_TRUE(writeM4a(song));
    QStringList steps;
    {
        QTemporaryDir scratch;
        ASSERT_TRUE(writeM4a(scratch.filePath(QStringLiteral("song.m4a"))));
        SaveSteps::setHook([&steps](const char* step) { steps << QString::fromLatin1(step); });
        retitle(scratch.filePath(QStringLiteral("song.m4a")));
        SaveSteps::setHook({});
    }
    ASSERT_TRUE(diesBeforeStep([&] { retitle(song); },
                               int(steps.indexOf(QStringLiteral("tags-journal-remove")))));
    ASSERT_EQ(journals(dir.path()).size(), 1);
    QByteArray theirs = readBytes(song);
    const qsizetype title = theirs.indexOf("Another title");
    ASSERT_GT(title, 0);
    theirs.replace(title, 13, "Their title!!");
    ASSERT_TRUE(writeBytes(song, theirs));
    EXPECT_EQ(SaveBatch::recover(dir.path()), QStringList());
    EXPECT_EQ(readBytes(song), theirs);
    EXPECT_EQ(journals(dir.path()), QStringList());
}
