#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "media/SavePlan.h"
#include "save/RollbackJournal.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
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

#include <functional>
#include <map>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList journals(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral(".trovix-rollback3-*.journal"),
                                QStringLiteral(".trovix-rollback-*.journal"),
                                QStringLiteral(".trovix-tags-*.journal")},
                               QDir::Files | QDir::Hidden | QDir::System);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

void retitle(const QString& path) {
    auto file = MusicFileFactory::newMusicFileWithPath(path);
    file->setTags({.title = QStringLiteral("Another title")}, TagField::Title);
    SaveBatch::saveOne(*file).ok();
}

// One file of a journal built by a test: its name (an absolute path in the
// first two formats), identity, sizes, and regions of old and new bytes. A
// region's new bytes are carried as they are, or (`repeats`) as that many
// copies of its old bytes.
struct JournalRegion {
    quint64 offset = 0;
    QByteArray old, now;
    quint32 repeats = 0;
};
struct JournalEntry {
    QByteArray name;
    quint64 device = 0, inode = 0, oldSize = 0, newSize = 0;
    std::vector<JournalRegion> regions;
};

// A journal of `version` 1, 2 or 3 (whose folder is `folder`), ending in its
// SHA-256 as a save's does.
QByteArray journalBytes(int version, const std::vector<JournalEntry>& entries,
                        const struct stat& folder = {}) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << QByteArray("TROVIX-ROLLBACK-") + QByteArray::number(version);
    if (version == 3) out << quint64(folder.st_dev) << quint64(folder.st_ino);
    out << quint32(entries.size());
    for (const JournalEntry& e : entries) {
        out << e.name << e.device << e.inode << e.oldSize << e.newSize << quint32(e.regions.size());
        for (const JournalRegion& r : e.regions) {
            out << r.offset << r.old;
            if (version == 1) {
                out << r.now;
            } else if (r.repeats > 0) {
                out << quint32(quint64(r.old.size()) * r.repeats) << r.repeats;
                for (quint32 i = 0; i < r.repeats; ++i)
                    out << quint8(1) << quint32(0) << quint32(r.old.size());
            } else {
                out << quint32(r.now.size()) << quint32(r.now.isEmpty() ? 0 : 1);
                if (!r.now.isEmpty()) out << quint8(0) << r.now;
            }
        }
    }
    return bytes + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// A journal left by a process that is gone.
QString deadJournalName(int version) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    const char* prefix = version == 1   ? ".trovix-tags-"
                         : version == 2 ? ".trovix-rollback-"
                                        : ".trovix-rollback3-";
    return QStringLiteral("%1%2-1.journal").arg(QLatin1String(prefix)).arg(pid);
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
        const struct stat st = statOf(song);
        const quint64 size = quint64(st.st_size);
        ASSERT_TRUE(writeBytes(journal, journalBytes(1, {{QFile::encodeName(song),
                                                          quint64(st.st_dev),
                                                          quint64(st.st_ino),
                                                          size,
                                                          size,
                                                          {{quint64(head.size()), old, now}}}})));
        EXPECT_EQ(SaveBatch::recover(dir.path()).restored,
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
            const Outcome written = journal.write(dir.path(), {&plan});
            ASSERT_TRUE(written.ok()) << written.reason.toStdString();
        }
        const qsizetype middle = c.now.size() / 2 + 1;
        ASSERT_TRUE(writeBytes(song, head + c.now.left(middle) + c.old.mid(middle) + tail));
        EXPECT_EQ(SaveBatch::recover(dir.path()).restored, QStringList{QStringLiteral("song.mp3")});
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
            const Outcome written = journal.write(dir.path(), {&plan});
            ASSERT_TRUE(written.ok()) << written.reason.toStdString();
        }
        ASSERT_TRUE(writeBytes(song, head + found));
        EXPECT_EQ(SaveBatch::recover(dir.path()).restored, QStringList{QStringLiteral("song.m4a")});
        EXPECT_EQ(readBytes(song), head + old);
        EXPECT_EQ(journals(dir.path()), QStringList());
    }
}

TEST(RollbackJournal, AJournalCutShortIsRemovedOnceItsSaveIsGone) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.m4a"));
    ASSERT_TRUE(writeM4a(song));
    const QByteArray bytes = readBytes(song);
    const QString dead = dir.filePath(deadJournalName(1));
    const QString alive = dir.filePath(QStringLiteral(".trovix-tags-%1-1.journal").arg(::getpid()));
    ASSERT_TRUE(writeBytes(dead, "TROVIX-ROLL"));
    ASSERT_TRUE(writeBytes(alive, "TROVIX-ROLL"));
    EXPECT_EQ(SaveBatch::recover(dir.path()).restored, QStringList());
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(alive)); // its save may still be writing it
    EXPECT_EQ(readBytes(song), bytes);
}

TEST(RollbackJournal, AJournalHeldByARunningSaveIsLeftAlone) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.m4a"));
    ASSERT_TRUE(writeM4a(song));
    QStringList seen;
    RecoveryReport restored{{QStringLiteral("not called")}, {}};
    SaveSteps::setHook([&](const char* step) {
        if (qstrcmp(step, "tags-write") != 0) return;
        seen = journals(dir.path());
        restored = SaveBatch::recover(dir.path()); // as a second window opening the folder
    });
    auto file = MusicFileFactory::newMusicFileWithPath(song);
    file->setTags({.title = QStringLiteral("Mine")}, TagField::Title);
    const bool saved = SaveBatch::saveOne(*file).ok();
    SaveSteps::setHook({});
    EXPECT_TRUE(saved);
    EXPECT_EQ(seen.size(), 1);
    EXPECT_EQ(restored.restored, QStringList());
    EXPECT_EQ(restored.refused, QStringList());
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
    EXPECT_EQ(SaveBatch::recover(dir.path()).restored, QStringList());
    EXPECT_EQ(readBytes(song), theirs);
    EXPECT_EQ(journals(dir.path()), QStringList());
}

namespace {

// A region that makes the bytes of `file` at `offset` look torn: the first
// half its new bytes, the second half its old ones, so that putting it back
// would write `evil` there.
JournalRegion tornOver(const QByteArray& file, quint64 offset, const QByteArray& evil) {
    const qsizetype n = evil.size();
    return {offset, evil + file.mid(qsizetype(offset) + n, n),
            file.mid(qsizetype(offset), n) + QByteArray(n, '\x01')};
}

} // namespace

// A journal is input like any file of the folder: one built to reach a file
// outside the folder, or to change bytes it cannot prove were there, changes
// nothing, and is kept and reported unless it names nothing to act on.
TEST(RollbackJournal, AForgedJournalChangesNoFileItCannotProve) {
    struct Folder {
        QString root, album, song, outside;
        QByteArray outsideBytes;
        struct stat songStat, outsideStat, albumStat;
    };
    struct Row {
        const char* name;
        int version;
        std::function<JournalEntry(const Folder&)> entry;
        bool kept = true;
        bool fromRoot = false; // run with the folder's parent as working folder
    };
    auto inPlace = [](const QByteArray& name, const struct stat& st,
                      std::vector<JournalRegion> regions) {
        return JournalEntry{name,
                            quint64(st.st_dev),
                            quint64(st.st_ino),
                            quint64(st.st_size),
                            quint64(st.st_size),
                            std::move(regions)};
    };
    // The music file, claimed to change from `oldSize` to `newSize` bytes.
    auto songEntry = [](const Folder& f, quint64 oldSize, quint64 newSize,
                        std::vector<JournalRegion> regions) {
        return JournalEntry{QFile::encodeName(f.song),
                            quint64(f.songStat.st_dev),
                            quint64(f.songStat.st_ino),
                            oldSize,
                            newSize,
                            std::move(regions)};
    };
    const Row rows[] = {
        {"an absolute path outside the folder", 2,
         [&](const Folder& f) {
             return inPlace(QFile::encodeName(f.outside), f.outsideStat,
                            {tornOver(f.outsideBytes, 0, "EVIL")});
         }},
        {"a path relative to the working folder", 2,
         [&](const Folder& f) {
             return inPlace("outside.txt", f.outsideStat, {tornOver(f.outsideBytes, 0, "EVIL")});
         },
         true, true},
        {"a symbolic link in the folder", 2,
         [&](const Folder& f) {
             return inPlace(QFile::encodeName(f.album + "/link.mp3"), f.outsideStat,
                            {tornOver(f.outsideBytes, 0, "EVIL")});
         }},
        {"a name that leaves the folder", 3,
         [&](const Folder& f) {
             return inPlace("../outside.txt", f.outsideStat, {tornOver(f.outsideBytes, 0, "EVIL")});
         }},
        {"a name saves keep for themselves", 2,
         [&](const Folder& f) {
             const QString path = f.album + "/.trovix-renames";
             return inPlace(QFile::encodeName(path), statOf(path),
                            {tornOver(readBytes(path), 0, "EVIL")});
         }},
        {"a newline in a name", 2,
         [&](const Folder& f) {
             const QString path = f.album + "/so\nng.mp3";
             return inPlace(QFile::encodeName(path), statOf(path),
                            {tornOver(readBytes(path), 0, "EVIL")});
         }},
        {"cutting the file to nothing", 2,
         [&](const Folder& f) {
             const quint64 size = quint64(f.songStat.st_size);
             return songEntry(f, 0, size + 1000, {{size, {}, QByteArray(1000, 'n')}});
         }},
        {"writing past the end", 2,
         [&](const Folder& f) {
             const quint64 size = quint64(f.songStat.st_size);
             return songEntry(f, size + 4, size - 1, {{size, "EVIL", {}}});
         }},
        {"pieces that grow to 2 GiB", 2,
         [&](const Folder& f) {
             return songEntry(f, 1 << 16, quint64(1) << 31,
                              {{0, QByteArray(1 << 16, 'o'), {}, 1 << 15}});
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir tmp;
        Folder f;
        f.root = tmp.path();
        f.album = tmp.filePath("Album");
        f.song = f.album + "/song.mp3";
        f.outside = tmp.filePath("outside.txt");
        ASSERT_TRUE(QDir().mkpath(f.album));
        ASSERT_TRUE(writeBytes(f.song, QByteArray(4000, 's')));
        ASSERT_TRUE(writeBytes(f.outside, "precious lines of the user's own"));
        ASSERT_TRUE(writeBytes(f.album + "/.trovix-renames", "a journal's own bytes"));
        ASSERT_TRUE(writeBytes(f.album + "/so\nng.mp3", "another song's bytes"));
        ASSERT_TRUE(QFile::link(f.outside, f.album + "/link.mp3"));
        f.outsideBytes = readBytes(f.outside);
        f.songStat = statOf(f.song);
        f.outsideStat = statOf(f.outside);
        f.albumStat = statOf(f.album);
        std::map<QString, QByteArray> before;
        for (const QString& name : QDir(f.album).entryList(QDir::Files | QDir::Hidden))
            before[name] = readBytes(f.album + "/" + name);
        const QString journal = f.album + "/" + deadJournalName(row.version);
        ASSERT_TRUE(writeBytes(journal, journalBytes(row.version, {row.entry(f)}, f.albumStat)));

        const QString cwd = QDir::currentPath();
        if (row.fromRoot) QDir::setCurrent(f.root);
        const RecoveryReport report = SaveBatch::recover(f.album);
        QDir::setCurrent(cwd);

        EXPECT_EQ(readBytes(f.outside), f.outsideBytes);
        for (const auto& [name, bytes] : before)
            EXPECT_EQ(readBytes(f.album + "/" + name), bytes) << name.toStdString();
        EXPECT_EQ(report.restored, QStringList());
        EXPECT_EQ(QFile::exists(journal), row.kept);
        EXPECT_EQ(report.refused.isEmpty(), !row.kept) << report.refused.join(' ').toStdString();
    }
}

// Journals name files by their names in the folder and the folder by its
// identity: a moved folder is still put back, a copy (whose files are other
// files) is reported and neither it nor the original is touched from it.
TEST(RollbackJournal, ATornSaveIsPutBackAfterAMoveButNotFromACopy) {
    QTemporaryDir tmp;
    const QString album = tmp.filePath("Album"), copy = tmp.filePath("Copy"),
                  moved = tmp.filePath("Moved");
    ASSERT_TRUE(QDir().mkpath(album));
    const QByteArray old = "an old title" + QByteArray(5000, 'o'),
                     now = "a new title!" + QByteArray(5000, 'n');
    const QByteArray head(100, 'h');
    const QString song = album + "/song.mp3";
    ASSERT_TRUE(writeBytes(song, head + old));
    SavePlan plan;
    plan.kind = SavePlan::Kind::InPlace;
    plan.target = song;
    ASSERT_EQ(::stat(QFile::encodeName(song).constData(), &plan.seen), 0);
    plan.newSize = uint64_t(plan.seen.st_size);
    plan.regions.push_back({uint64_t(head.size()), now, old});
    {
        RollbackJournal journal; // closed without removal, as by a crash
        const Outcome written = journal.write(album, {&plan});
        ASSERT_TRUE(written.ok()) << written.reason.toStdString();
    }
    const QByteArray torn = head + now.left(2000) + old.mid(2000);
    ASSERT_TRUE(writeBytes(song, torn));

    ASSERT_TRUE(QDir().mkpath(copy));
    for (const QString& name : QDir(album).entryList(QDir::Files | QDir::Hidden))
        ASSERT_TRUE(QFile::copy(album + "/" + name, copy + "/" + name));
    const RecoveryReport fromCopy = SaveBatch::recover(copy);
    EXPECT_EQ(fromCopy.restored, QStringList());
    EXPECT_EQ(fromCopy.refused.size(), 1);
    EXPECT_EQ(readBytes(copy + "/song.mp3"), torn);
    EXPECT_EQ(journals(copy).size(), 1);
    EXPECT_EQ(readBytes(song), torn);

    ASSERT_TRUE(QDir().rename(album, moved));
    EXPECT_EQ(SaveBatch::recover(moved).restored, QStringList{"song.mp3"});
    EXPECT_EQ(readBytes(moved + "/song.mp3"), head + old);
    EXPECT_EQ(journals(moved), QStringList());
}
