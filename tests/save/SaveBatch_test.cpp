#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/ForkedSave.h"
#include "support/M4aChecks.h"
#include "support/Mp3Fixture.h"
#include "system/SaveSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The music files of a folder, and how a save changes each of them.
struct Album {
    const char* name;
    std::function<bool(const QString& dir)> make;
    std::function<void(MusicFile& file)> change = [](MusicFile& f) {
        f.setTags({.title = QStringLiteral("A new title")}, TagField::Title);
        f.setTags({.artist = QStringLiteral("A new artist")}, TagField::Artist);
    };
    SaveBatch::GroupLimits limits = {};
};

// Padding that the new frames fit in, and no more than TagLib keeps.
bool mp3WithRoom(const QString& path) {
    return writeMp3WithTag(
        path, id3v2Tag(3, {id3v2Frame(3, "TIT2", id3Latin1TextBody("old"))}, 500), {.frames = 200});
}

bool mp3WithoutRoom(const QString& path) {
    return writeMp3WithTag(path, id3v2Tag(3, {id3v2Frame(3, "TIT2", id3Latin1TextBody("old"))}),
                           {.frames = 200});
}

// A cover of 8 KB behind the title: a longer title moves it, so the rollback
// copies hold spans of kilobytes.
bool mp3WithCover(const QString& path) {
    const QByteArray picture = QByteArray("\0image/jpeg\0\x03\0", 14) + QByteArray(8192, 'p');
    return writeMp3WithTag(
        path,
        id3v2Tag(3,
                 {id3v2Frame(3, "TIT2", id3Latin1TextBody("old")), id3v2Frame(3, "APIC", picture)},
                 500),
        {.frames = 200});
}

void grow(MusicFile& f) {
    f.setTags({.title = QString(3000, u'g')},
              TagField::Title); // past any padding: the whole file is written anew
}

const std::vector<Album>& albums() {
    static const std::vector<Album> list = {
        {"MP3 in place", [](const QString& d) { return mp3WithRoom(d + "/a.mp3"); }},
        {"MP3 rewritten", [](const QString& d) { return mp3WithoutRoom(d + "/a.mp3"); }, grow},
        {"MP3 in place, its APEv2 tag dropped",
         [](const QString& d) {
             return mp3WithRoom(d + "/a.mp3") && [&d] {
                 QFile f(d + "/a.mp3");
                 return f.open(QIODevice::Append) &&
                        f.write(apeV2Tag({{"Title", QByteArray(3000, 'a')}})) > 0;
             }();
         }},
        {"M4A in place", [](const QString& d) { return writeM4a(d + "/a.m4a"); }},
        {"M4A rewritten",
         [](const QString& d) { return writeM4a(d + "/a.m4a", {.freePadding = 0}); }, grow},
        {"a folder of both kinds, both ways",
         [](const QString& d) {
             return mp3WithRoom(d + "/1.mp3") && mp3WithoutRoom(d + "/2.mp3") &&
                    writeM4a(d + "/3.m4a") && writeM4a(d + "/4.m4a", {.freePadding = 0});
         },
         [](MusicFile& f) {
             f.setTags({.title = QStringLiteral("Changed")}, TagField::Title);
             if (f.path().endsWith(u"2.mp3") || f.path().endsWith(u"4.m4a")) grow(f);
         }},
        {"MP3 in place, its cover moved",
         [](const QString& d) { return mp3WithCover(d + "/a.mp3"); }},
    };
    return list;
}

QStringList musicFiles(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral("*.mp3"), QStringLiteral("*.m4a")}, QDir::Files,
                               QDir::Name);
}

// Everything in the folder that is not a music file: journals, copies.
QStringList strays(const QString& dir) {
    QStringList all = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : musicFiles(dir))
        all.removeOne(name);
    return all;
}

std::map<QString, QByteArray> contents(const QString& dir) {
    std::map<QString, QByteArray> out;
    for (const QString& name : musicFiles(dir))
        out[name] = readBytes(dir + u'/' + name);
    return out;
}

// Opens the folder's music files, changes them, saves them as one batch.
std::vector<Outcome> saveFolder(const QString& dir, const Album& album,
                                const std::function<bool()>& stop = {}) {
    std::vector<std::shared_ptr<MusicFile>> files;
    SaveBatch batch(dir, album.limits);
    for (const QString& name : musicFiles(dir)) {
        auto file = MusicFileFactory::newMusicFileWithPath(dir + u'/' + name);
        if (!file) return {};
        album.change(*file);
        batch.add(file.get());
        files.push_back(file);
    }
    return batch.commit(stop);
}

bool saveDyingAt(const QString& dir, const Album& album, int at) {
    return diesBeforeStep([&] { saveFolder(dir, album); }, at);
}

// The folder before and after an uninterrupted save, and the steps it took.
struct Learned {
    std::map<QString, QByteArray> old, now;
    QStringList steps;
};

Learned learn(const Album& album) {
    Learned out;
    QTemporaryDir before, after;
    EXPECT_TRUE(album.make(before.path()));
    EXPECT_TRUE(album.make(after.path()));
    SaveSteps::setHook([&out](const char* step) { out.steps << QString::fromLatin1(step); });
    for (const Outcome& o : saveFolder(after.path(), album))
        EXPECT_TRUE(o.ok()) << o.reason.toStdString();
    SaveSteps::setHook({});
    EXPECT_FALSE(out.steps.isEmpty());
    out.old = contents(before.path());
    out.now = contents(after.path());
    return out;
}

std::string killedBefore(const Learned& learned, qsizetype at) {
    return QStringLiteral("killed before step %1, %2").arg(at).arg(learned.steps[at]).toStdString();
}

class SaveBatchTest : public ::testing::Test {
protected:
    void TearDown() override { SaveSteps::setHook({}); }
    QTemporaryDir fDir;
};

} // namespace

TEST_F(SaveBatchTest, AKillAtAnyStepLeavesEveryFileOldOrNew) {
    for (const Album& album : albums()) {
        SCOPED_TRACE(album.name);
        const Learned learned = learn(album);
        for (int at = 0; at < learned.steps.size(); ++at) {
            SCOPED_TRACE(killedBefore(learned, at));
            QTemporaryDir dir;
            ASSERT_TRUE(album.make(dir.path()) && saveDyingAt(dir.path(), album, at));
            EXPECT_EQ(SaveBatch::recover(dir.path()).refused, QStringList());
            const auto now = contents(dir.path());
            ASSERT_EQ(now.size(), learned.old.size());
            for (const auto& [name, bytes] : now) {
                SCOPED_TRACE(name.toStdString());
                EXPECT_TRUE(bytes == learned.old.at(name) || bytes == learned.now.at(name));
            }
            EXPECT_EQ(strays(dir.path()), QStringList());
        }
    }
}

TEST_F(SaveBatchTest, ATornInPlaceWriteIsPutBack) {
    // The save dies when all is written but not yet synced; then part of
    // each changed span is found old, as when a page never reached the disk.
    for (const Album& album : {albums()[0], albums()[2], albums()[3], albums()[6]}) {
        SCOPED_TRACE(album.name);
        const Learned learned = learn(album);
        QTemporaryDir dir;
        ASSERT_TRUE(album.make(dir.path()));
        ASSERT_TRUE(saveDyingAt(dir.path(), album, int(learned.steps.indexOf(u"tags-sync"_qs))));
        for (const auto& [name, was] : learned.old) {
            const QString path = dir.path() + u'/' + name;
            QByteArray torn = readBytes(path);
            ASSERT_EQ(torn, learned.now.at(name));
            qsizetype first = 0;
            while (torn[first] == was[first])
                ++first;
            qsizetype last = std::min(torn.size(), was.size());
            while (torn[last - 1] == was[last - 1])
                --last;
            ASSERT_LT(first, last);
            const qsizetype middle = (first + last) / 2;
            torn.replace(middle, last - middle, was.mid(middle, last - middle));
            ASSERT_TRUE(writeBytes(path, torn));
        }
        EXPECT_EQ(SaveBatch::recover(dir.path()).restored, musicFiles(dir.path()));
        EXPECT_EQ(contents(dir.path()), learned.old);
        EXPECT_EQ(strays(dir.path()), QStringList());
    }
}

TEST_F(SaveBatchTest, AKillBetweenGroupsOrChunksLeavesEveryFileOldOrNew) {
    // Nine files: two groups, whose second writes over the journal of the
    // first; or one group written in three chunks as it is planned, each
    // under a journal of its own, and synced once. A kill between or inside
    // them leaves every file old or new, and a torn file of the last chunk
    // is put back from its journal.
    struct Row {
        const char* name;
        SaveBatch::GroupLimits limits;
        qsizetype journals, syncs;
    };
    const Row rows[] = {{"two groups", {.files = 8}, 2, 2},
                        {"three chunks of one group", {.chunk = 3}, 3, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Album album{.name = row.name,
                          .make =
                              [](const QString& d) {
                                  for (int i = 0; i < 9; ++i)
                                      if (!mp3WithRoom(d + QStringLiteral("/%1.mp3").arg(i)))
                                          return false;
                                  return true;
                              },
                          .limits = row.limits};
        const Learned learned = learn(album);
        ASSERT_EQ(learned.steps.count(u"tags-journal"_qs), row.journals);
        ASSERT_EQ(learned.steps.count(u"tags-sync"_qs), row.syncs);
        ASSERT_EQ(learned.steps.count(u"tags-journal-remove"_qs), 1);
        const qsizetype last = learned.steps.lastIndexOf(u"tags-journal"_qs);
        const qsizetype lastSync = learned.steps.lastIndexOf(u"tags-sync"_qs);
        for (const qsizetype at : {last, last + 1, last + 2, lastSync,
                                   learned.steps.indexOf(u"tags-journal-remove"_qs)}) {
            SCOPED_TRACE(killedBefore(learned, at));
            QTemporaryDir dir;
            ASSERT_TRUE(album.make(dir.path()) && saveDyingAt(dir.path(), album, int(at)));
            const QString lastFile = dir.path() + QStringLiteral("/8.mp3");
            const QByteArray was = learned.old.at(QStringLiteral("8.mp3"));
            if (at == lastSync) {
                QByteArray bytes = readBytes(lastFile);
                ASSERT_EQ(bytes, learned.now.at(QStringLiteral("8.mp3")));
                // Its last changed byte never reached the disk.
                qsizetype changed = std::min(bytes.size(), was.size()) - 1;
                while (bytes[changed] == was[changed])
                    --changed;
                bytes[changed] = was[changed];
                ASSERT_TRUE(writeBytes(lastFile, bytes));
                EXPECT_EQ(SaveBatch::recover(dir.path()).restored,
                          QStringList{QStringLiteral("8.mp3")});
                EXPECT_EQ(readBytes(lastFile), was);
            }
            SaveBatch::recover(dir.path());
            for (const auto& [name, bytes] : contents(dir.path())) {
                SCOPED_TRACE(name.toStdString());
                EXPECT_TRUE(bytes == learned.old.at(name) || bytes == learned.now.at(name));
            }
            EXPECT_EQ(strays(dir.path()), QStringList());
        }
    }
}

TEST_F(SaveBatchTest, AFolderPaysForDurabilityOnce) {
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(mp3WithRoom(fDir.filePath(QStringLiteral("%1.mp3").arg(i))));
        ASSERT_TRUE(writeM4a(fDir.filePath(QStringLiteral("%1.m4a").arg(i))));
    }
    QStringList steps;
    SaveSteps::setHook([&steps](const char* step) { steps << QString::fromLatin1(step); });
    const auto outcomes = saveFolder(fDir.path(), albums()[0]);
    ASSERT_EQ(outcomes.size(), 12u);
    for (const Outcome& o : outcomes)
        EXPECT_TRUE(o.ok()) << o.reason.toStdString();
    EXPECT_EQ(steps.count(u"tags-journal"_qs), 1);
    EXPECT_EQ(steps.count(u"tags-sync"_qs), 1);
    EXPECT_EQ(steps.count(u"tags-journal-remove"_qs), 1);
    EXPECT_EQ(strays(fDir.path()), QStringList());
    for (const QString& name : musicFiles(fDir.path()))
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(fDir.filePath(name))->readTags().title,
                  QStringLiteral("A new title"));
}

// Each new copy holds a descriptor until it replaces its file: a group takes
// only so many of them, however many files it may hold.
TEST_F(SaveBatchTest, NewCopiesEndAGroupAtTheirOwnLimit) {
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(mp3WithoutRoom(fDir.filePath(QStringLiteral("%1.mp3").arg(i))));
    Album album = albums()[1];
    album.limits = {.copies = 2};
    QStringList steps;
    SaveSteps::setHook([&steps](const char* step) { steps << QString::fromLatin1(step); });
    const auto outcomes = saveFolder(fDir.path(), album);
    SaveSteps::setHook({});
    ASSERT_EQ(outcomes.size(), 3u);
    for (const Outcome& o : outcomes)
        EXPECT_TRUE(o.ok()) << o.reason.toStdString();
    EXPECT_EQ(steps.count(u"tags-copy"_qs), 3);
    EXPECT_EQ(steps.count(u"tags-sync"_qs), 2);
    EXPECT_EQ(strays(fDir.path()), QStringList());
}

TEST_F(SaveBatchTest, AStopLeavesTheRestAsItWas) {
    // Written in place or as new copies, side by side: the files written are
    // those whose write began before the stop. Written in chunks while the
    // rest is planned, which of them were is a matter of timing.
    struct Row {
        const char* name;
        size_t album;
        std::function<bool(const QString&)> make;
        size_t chunk = 256;
        int saved = 2; // -1: any number
    };
    const Row rows[] = {
        {"in place", 3, [](const QString& p) { return writeM4a(p); }},
        {"new copies", 1, mp3WithoutRoom},
        {"in place, in chunks of two", 3, [](const QString& p) { return writeM4a(p); }, 2, -1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString suffix = row.album == 3 ? QStringLiteral(".m4a") : QStringLiteral(".mp3");
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(row.make(dir.filePath(QString::number(i) + suffix)));
        const auto old = contents(dir.path());
        int asked = 0;
        // Asked before the group, before each file is planned, then before
        // each write.
        Album album = albums()[row.album];
        album.limits.chunk = row.chunk;
        const auto outcomes =
            saveFolder(dir.path(), album, [&asked] { return ++asked > 1 + 6 + 2; });
        ASSERT_EQ(outcomes.size(), 6u);
        int saved = 0;
        for (size_t i = 0; i < outcomes.size(); ++i) {
            const QString name = QString::number(i) + suffix;
            SCOPED_TRACE(name.toStdString());
            const bool done = outcomes[i].code == Outcome::Code::Done;
            if (!done) {
                EXPECT_EQ(outcomes[i].code, Outcome::Code::Stopped);
            }
            EXPECT_EQ(readBytes(dir.filePath(name)) == old.at(name), !done);
            saved += done;
        }
        if (row.saved >= 0) {
            EXPECT_EQ(saved, row.saved);
        }
        EXPECT_EQ(strays(dir.path()), QStringList());
    }
}

TEST_F(SaveBatchTest, AFileMadeAsItIsPlannedFailsAloneWhenItCannotBeRead) {
    // Made on the core that plans it, once; never once the save is stopped.
    // In chunks of one, so that they are written while the rest are made.
    // The last has nothing to change: Done, and not written.
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "saved");
        QTemporaryDir dir;
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(mp3WithRoom(dir.filePath(QString::number(i) + ".mp3")));
        const auto old = contents(dir.path());
        std::vector<std::shared_ptr<MusicFile>> files(4);
        std::atomic<int> made{0};
        SaveBatch batch(dir.path(), {.chunk = 1});
        for (size_t i = 0; i < files.size(); ++i)
            batch.add([&, i]() -> MusicFile* {
                ++made;
                if (i == 1) return nullptr; // could not be read again
                files[i] = MusicFileFactory::newMusicFileWithPath(
                    dir.filePath(QString::number(i) + ".mp3"));
                if (i != 3) albums()[0].change(*files[i]);
                return files[i].get();
            });
        const auto outcomes = batch.commit([stopped] { return stopped; });
        EXPECT_EQ(made, stopped ? 0 : 4);
        ASSERT_EQ(outcomes.size(), 4u);
        ASSERT_EQ(batch.written().size(), 4u);
        for (size_t i = 0; i < outcomes.size(); ++i) {
            const QString name = QString::number(i) + ".mp3";
            const Outcome::Code expected = stopped  ? Outcome::Code::Stopped
                                           : i == 1 ? Outcome::Code::Failed
                                                    : Outcome::Code::Done;
            EXPECT_EQ(outcomes[i].code, expected) << i;
            const bool written = expected == Outcome::Code::Done && i != 3;
            EXPECT_EQ(batch.written()[i], written) << i;
            EXPECT_EQ(readBytes(dir.filePath(name)) != old.at(name), written) << i;
        }
        if (!stopped) {
            EXPECT_TRUE(outcomes[1].reason.contains(u"could not be read again"));
        }
        EXPECT_EQ(strays(dir.path()), QStringList());
    }
}

TEST_F(SaveBatchTest, AWriteThatDoesNotReadBackIsUndone) {
    // Something spoils the audio while the save runs (here the step hook, as
    // a stand-in for a bad write): the check finds it, the tags go back.
    struct Row {
        const char* name;
        int album;
        const char* step;
    };
    const Row rows[] = {{"MP3 in place", 0, "tags-write"},
                        {"MP3 rewritten", 1, "tags-copy"},
                        {"MP3 in place, its APEv2 tag dropped", 2, "tags-write"},
                        {"M4A in place", 3, "tags-write"},
                        {"M4A rewritten", 4, "tags-copy"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const Album& album = albums()[size_t(row.album)];
        ASSERT_TRUE(album.make(dir.path()));
        const QString path = dir.filePath(musicFiles(dir.path()).front());
        QByteArray spoiled = readBytes(path);
        qint64 audio = 0, length = 0;
        if (path.endsWith(u".m4a"))
            ASSERT_TRUE(findMdatPayload(spoiled, audio, length));
        else
            audio = spoiled.size() - mp3AudioPayload(path).size() + 100;
        spoiled[audio] = char(~spoiled[audio]);
        bool done = false;
        SaveSteps::setHook([&](const char* step) {
            if (done || qstrcmp(step, row.step) != 0) return;
            done = true;
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
            ASSERT_EQ(::pwrite(fd, spoiled.constData() + audio, 1, audio), 1);
            ::close(fd);
        });
        const auto outcomes = saveFolder(dir.path(), album);
        SaveSteps::setHook({});
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].code, Outcome::Code::Failed);
        EXPECT_TRUE(outcomes[0].reason.contains(u"did not read back"))
            << outcomes[0].reason.toStdString();
        EXPECT_EQ(readBytes(path), spoiled); // the tags as they were
        EXPECT_EQ(strays(dir.path()), QStringList());
    }
}

TEST_F(SaveBatchTest, ATagThatDoesNotReadBackIsUndone) {
    // The new tag is spoiled once written (before the file's next write):
    // reading back what was written finds it, and the old tags go back.
    const Album& album = albums()[0]; // MP3 in place: the tag, then the ID3v1 tag
    ASSERT_TRUE(album.make(fDir.path()));
    const QString path = fDir.filePath(QStringLiteral("a.mp3"));
    const QByteArray before = readBytes(path);
    int writes = 0;
    SaveSteps::setHook([&](const char* step) {
        if (qstrcmp(step, "tags-write") != 0 || ++writes != 2) return;
        QByteArray bytes = readBytes(path);
        const qsizetype title = bytes.indexOf("A new title");
        ASSERT_GT(title, 0);
        bytes[title] = 'X';
        ASSERT_TRUE(writeBytes(path, bytes));
    });
    const auto outcomes = saveFolder(fDir.path(), album);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].code, Outcome::Code::Failed);
    EXPECT_TRUE(outcomes[0].reason.contains(u"did not read back"))
        << outcomes[0].reason.toStdString();
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(strays(fDir.path()), QStringList());
}

TEST_F(SaveBatchTest, AFileChangedByAnotherProgramIsNotWrittenOver) {
    struct Row {
        const char* name;
        std::function<bool(const QString&)> make;
        std::function<void(const QString&)> meddle;
        const char* file = "song.mp3";
    };
    auto append = [](const QString& p) {
        QFile f(p);
        f.open(QIODevice::Append);
        f.write("extra");
    };
    auto sameSize = [](const QString& p) {
        QByteArray bytes = readBytes(p);
        bytes[bytes.size() - 200] = char(~bytes[bytes.size() - 200]);
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // a later time stamp
        writeBytes(p, bytes);
    };
    auto replaced = [](const QString& p) {
        const QByteArray bytes = readBytes(p) + "replaced";
        writeBytes(p + QStringLiteral(".new"), bytes);
        ::rename(QFile::encodeName(p + QStringLiteral(".new")).constData(),
                 QFile::encodeName(p).constData());
    };
    const Row rows[] = {
        {"MP3, appended to", mp3WithRoom, append},
        {"MP3, same size, new bytes", mp3WithRoom, sameSize},
        {"MP3, replaced by a new file", mp3WithRoom, replaced},
        {"MP3 to rewrite, appended to", mp3WithoutRoom, append},
        {"M4A, same size, new bytes", [](const QString& p) { return writeM4a(p); }, sameSize,
         "song.m4a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(row.file));
        ASSERT_TRUE(row.make(path));
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        grow(*file);
        row.meddle(path);
        const QByteArray theirs = readBytes(path);
        const Outcome saved = SaveBatch::saveOne(*file);
        EXPECT_FALSE(saved.ok());
        EXPECT_TRUE(saved.reason.contains(u"changed by another program"))
            << saved.reason.toStdString();
        EXPECT_EQ(readBytes(path), theirs);
        EXPECT_EQ(strays(dir.path()), QStringList());
    }
}

TEST_F(SaveBatchTest, AFileWithOtherNamesIsSavedInPlaceOrNotAtAll) {
    struct Row {
        const char* name;
        std::function<bool(const QString&)> make;
        bool fits;
        const char* file = "song.mp3";
    };
    const Row rows[] = {
        {"MP3 in place", mp3WithRoom, true},
        {"MP3 that must grow", mp3WithoutRoom, false},
        {"M4A in place", [](const QString& p) { return writeM4a(p); }, true, "song.m4a"},
        {"M4A that must grow", [](const QString& p) { return writeM4a(p, {.freePadding = 0}); },
         false, "song.m4a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(row.file));
        const QString other = dir.filePath(QStringLiteral("other name"));
        ASSERT_TRUE(row.make(path));
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()),
                  0);
        const QByteArray old = readBytes(path);
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        if (row.fits)
            file->setTags({.title = QStringLiteral("Short")}, TagField::Title);
        else
            grow(*file);
        const Outcome saved = SaveBatch::saveOne(*file);
        EXPECT_EQ(saved.ok(), row.fits) << saved.reason.toStdString();
        struct stat a {
        }, b{};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &a), 0);
        ASSERT_EQ(::stat(QFile::encodeName(other).constData(), &b), 0);
        EXPECT_EQ(a.st_ino, b.st_ino); // still one file
        EXPECT_EQ(a.st_nlink, 2u);
        if (!row.fits) {
            EXPECT_TRUE(saved.reason.contains(u"hard links"));
            EXPECT_EQ(readBytes(path), old);
        }
    }
}

TEST_F(SaveBatchTest, PuttingBytesBackNeverFollowsALinkSwappedIn) {
    // The check after the write fails, and as the old bytes are about to go
    // back the file is swapped for a link to a file outside the folder.
    const QString path = fDir.filePath(QStringLiteral("album/a.mp3"));
    const QString outside = fDir.filePath(QStringLiteral("outside.txt"));
    ASSERT_TRUE(QDir(fDir.path()).mkdir(QStringLiteral("album")));
    ASSERT_TRUE(mp3WithRoom(path));
    ASSERT_TRUE(writeBytes(outside, QByteArray(20000, 'u')));
    const QByteArray theirs = readBytes(outside);
    const qint64 audio = readBytes(path).size() - mp3AudioPayload(path).size() + 100;
    SaveSteps::setHook([&](const char* step) {
        if (qstrcmp(step, "tags-write") == 0) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
            ASSERT_EQ(::pwrite(fd, "!", 1, audio), 1);
            ::close(fd);
        } else if (qstrcmp(step, "tags-restore") == 0) {
            ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".away")));
            ASSERT_TRUE(QFile::link(outside, path));
        }
    });
    const auto outcomes = saveFolder(fDir.filePath(QStringLiteral("album")), albums()[0]);
    SaveSteps::setHook({});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].code, Outcome::Code::Failed);
    EXPECT_TRUE(outcomes[0].reason.contains(u"could not be put back"))
        << outcomes[0].reason.toStdString();
    EXPECT_EQ(readBytes(outside), theirs);
    // The rollback copies stay; the next opening will not follow the link either.
    const RecoveryReport report = SaveBatch::recover(fDir.filePath(QStringLiteral("album")));
    EXPECT_EQ(report.refused.size(), 1) << report.refused.join(' ').toStdString();
    EXPECT_EQ(readBytes(outside), theirs);
}

TEST_F(SaveBatchTest, AFileReachedThroughALinkLeavesNothingTheAlbumCannotClearUp) {
    // "album/a.mp3" is a link to "library/a.mp3". A new copy is made in the
    // album folder, where its opening removes it; rollback copies go beside
    // the file, named by its name there, never by a path out of a folder.
    struct Row {
        const char* name;
        const Album& album;
        const char* dieAt;
        QStringList albumStrays, libraryStrays; // patterns
    };
    const Row rows[] = {
        {"rewritten", albums()[1], "tags-replace", {".a.mp3.trovix-*.tmp"}, {}},
        {"in place", albums()[0], "tags-journal-remove", {}, {".trovix-rollback3-*.journal"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString album = dir.filePath(QStringLiteral("album"));
        const QString library = dir.filePath(QStringLiteral("library"));
        ASSERT_TRUE(QDir().mkpath(album) && QDir().mkpath(library));
        const auto make = [&](const QString& folder) { return row.album.make(folder); };
        ASSERT_TRUE(make(library));
        const QByteArray old = readBytes(library + QStringLiteral("/a.mp3"));
        ASSERT_TRUE(
            QFile::link(library + QStringLiteral("/a.mp3"), album + QStringLiteral("/a.mp3")));
        QStringList steps;
        {
            QTemporaryDir scratch;
            ASSERT_TRUE(make(scratch.path()));
            SaveSteps::setHook([&steps](const char* step) { steps << QString::fromLatin1(step); });
            saveFolder(scratch.path(), row.album);
            SaveSteps::setHook({});
        }
        ASSERT_TRUE(saveDyingAt(album, row.album, int(steps.indexOf(QLatin1String(row.dieAt)))));
        const auto matching = [](const QString& folder, const QStringList& patterns) {
            return patterns.isEmpty()
                       ? QStringList()
                       : QDir(folder).entryList(patterns, QDir::Files | QDir::Hidden);
        };
        EXPECT_EQ(strays(album), matching(album, row.albumStrays));
        EXPECT_EQ(matching(album, row.albumStrays).size(), row.albumStrays.size());
        EXPECT_EQ(strays(library), matching(library, row.libraryStrays));
        EXPECT_EQ(matching(library, row.libraryStrays).size(), row.libraryStrays.size());

        EXPECT_EQ(SaveBatch::recover(album).refused, QStringList());
        EXPECT_EQ(SaveBatch::recover(library).refused, QStringList());
        EXPECT_EQ(strays(album), QStringList());
        EXPECT_EQ(strays(library), QStringList());
        EXPECT_TRUE(QFileInfo(album + QStringLiteral("/a.mp3")).isSymLink());
        const QByteArray now = readBytes(library + QStringLiteral("/a.mp3"));
        EXPECT_TRUE(now == old ||
                    MusicFileFactory::newMusicFileWithPath(library + QStringLiteral("/a.mp3"))
                            ->readTags()
                            .title == QStringLiteral("A new title"));
    }
}

TEST_F(SaveBatchTest, AFileWhoseNameRecoveryWouldNotTrustIsNotWrittenInPlace) {
    // A torn write of it could not be undone: recovery refuses journals
    // naming control characters.
    const QString path = fDir.filePath(QStringLiteral("a\tb.mp3"));
    ASSERT_TRUE(mp3WithRoom(path));
    const QByteArray before = readBytes(path);
    const auto outcomes = saveFolder(fDir.path(), albums()[0]);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].code, Outcome::Code::Failed);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(strays(fDir.path()), QStringList());
}
