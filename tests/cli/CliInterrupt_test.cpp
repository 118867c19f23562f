// Saves interrupted by a kill or a signal at an exact step, and saves that
// meet another save or names they cannot decode: the folder is left with
// every file under its old or new name, never a temporary one.
#include "cli/CliRun.h"
#include "support/OutcomeChecks.h"
#include "system/FolderLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <csignal>

namespace {

// Three files whose save changes their year, their names and the folder's.
QString threeTrackAlbum(const CliEnv& env, const QString& name) {
    const QString dir = env.root() + "/" + name;
    QDir().mkpath(dir);
    EXPECT_TRUE(writeTrack(dir, {"a.mp3", "First Song", 1, 3}));
    EXPECT_TRUE(writeTrack(dir, {"b.mp3", "Second Song", 2, 3}));
    EXPECT_TRUE(writeTrack(dir, {"c.mp3", "Third Song", 3, 3}));
    return dir;
}
const QStringList kSave = {"--year", "2002", "--save"};
const QStringList kOldNames = {"a.mp3", "b.mp3", "c.mp3"};
const QStringList kNewNames = {"01-First Song.mp3", "02-Second Song.mp3", "03-Third Song.mp3"};
const QString kNewFolder = "The Band-2002-The Album";

// Every entry of the folder, hidden ones included, and a digest of their bytes.
QByteArray folderDigest(const QString& dir) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString& name : filesIn(dir)) {
        QFile f(dir + "/" + name);
        if (f.open(QIODevice::ReadOnly)) h.addData(name.toUtf8() + f.readAll());
    }
    return h.result();
}

} // namespace

TEST(CliInterrupt, KillAtAnySaveStepIsFinishedByTheNextOpening) {
    struct Row {
        const char* step;
        int k;
        bool journal; // the plan was on disk when the process died
    };
    const Row rows[] = {{"journal-write", 1, false}, {"journal-commit", 1, false},
                        {"rename-final", 1, true},   {"rename-final", 2, true},
                        {"rename-final", 3, true},   {"rename-folder", 1, true},
                        {"journal-remove", 1, true}};
    for (const Row& row : rows) {
        const std::string what = std::string(row.step) + " " + std::to_string(row.k);
        CliEnv env;
        const QString dir = threeTrackAlbum(env, "Album");
        const CliResult killed = env.runSignalledAt(openArgs(dir, kSave), row.step, row.k, SIGKILL);
        ASSERT_TRUE(killed.killed) << what;

        const QString renamed = env.root() + "/" + kNewFolder;
        const CliResult r = env.run(openArgs(QFileInfo::exists(dir) ? dir : renamed));
        ASSERT_EQ(r.exitCode, 0) << what << r.err.toStdString();
        const QString folder = r.json()["folder"].toString();
        // Tags are all written before the first move; the journal carries
        // the names forward, folder included.
        EXPECT_EQ(folder, row.journal ? renamed : dir) << what;
        EXPECT_EQ(filesIn(folder), row.journal ? kNewNames : kOldNames) << what;
        for (const QString& name : filesIn(folder))
            EXPECT_EQ(readTags(folder + "/" + name).year, 2002u) << what << name.toStdString();
        EXPECT_EQ(alertTitles(r.json()).contains("Interrupted Save Finished"), row.journal) << what;
    }
}

TEST(CliInterrupt, SignalsStopTheSaveWithAConsistentFolderAndTheirExitStatus) {
    struct Row {
        int sig;
        int status;
    };
    for (const Row& row : {Row{SIGINT, 130}, Row{SIGTERM, 143}, Row{SIGHUP, 129}}) {
        CliEnv env;
        const QString dir = threeTrackAlbum(env, "Album");
        // Half-way through the moves to the new names.
        const CliResult r = env.runSignalledAt(openArgs(dir, kSave), "rename-final", 2, row.sig);
        EXPECT_EQ(r.exitCode, row.status) << row.sig << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("stopped")) << r.err.toStdString();
        EXPECT_FALSE(r.json()["saved"].toBool());
        EXPECT_TRUE(alertTitles(r.json()).contains("Some Files Were Not Saved"));
        // The tags were written; the moves went back; the folder kept its name.
        EXPECT_EQ(filesIn(dir), kOldNames) << row.sig;
        for (const QString& name : kOldNames)
            EXPECT_EQ(readTags(dir + "/" + name).year, 2002u) << row.sig;
    }
}

TEST(CliInterrupt, SecondSaveOfAFolderBeingSavedTouchesNothing) {
    CliEnv env;
    const QString dir = threeTrackAlbum(env, "Album");
    const QByteArray before = folderDigest(dir);
    {
        // Another process's save, as far as the program can tell.
        FolderLock other;
        ASSERT_TRUE(isDone(other.tryLock(dir)));
        const CliResult r = env.run(openArgs(dir, kSave));
        EXPECT_EQ(r.exitCode, 1);
        const QJsonArray alerts = r.json()["alerts"].toArray();
        ASSERT_FALSE(alerts.isEmpty());
        EXPECT_EQ(alerts.last()["message"].toString(),
                  "This folder is being saved by another Trovix process.");
        EXPECT_EQ(folderDigest(dir), before);
    }
    const CliResult r = env.run(openArgs(dir, kSave));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(filesIn(env.root() + "/" + kNewFolder), kNewNames);
}

TEST(CliInterrupt, NamesThatAreNotUtf8AreCountedAndShownEscaped) {
    CliEnv env;
    const QString dir = threeTrackAlbum(env, "Album");
    for (const QByteArray& raw : {QByteArray("bad\xFF.mp3"), QByteArray("caf\xE9.mp3")}) {
        ASSERT_TRUE(writeTrack(dir, {"x.mp3", "Lost Song", 4, 5}));
        ASSERT_EQ(::rename(QFile::encodeName(dir + "/x.mp3").constData(),
                           (QFile::encodeName(dir) + "/" + raw).constData()),
                  0);
    }
    const CliResult r = env.run(openArgs(dir));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json()["tracks"].toArray().size(), 3);
    QString message;
    for (const QJsonValue& a : r.json()["alerts"].toArray())
        if (a["title"].toString() == "Unreadable File Names") message = a["message"].toString();
    EXPECT_TRUE(message.startsWith("2 file name(s)")) << message.toStdString();
    EXPECT_TRUE(message.contains("\"bad\\xFF.mp3\"")) << message.toStdString();
    EXPECT_TRUE(message.contains("\"caf\\xE9.mp3\"")) << message.toStdString();
}

TEST(CliInterrupt, SingleFileKilledMidRenameIsFinishedWhenItsFileIsOpened) {
    CliEnv env;
    const QString dir = threeTrackAlbum(env, "Album");
    const CliResult killed =
        env.runSignalledAt(openArgs(dir + "/a.mp3", kSave), "rename-final", 1, SIGKILL);
    ASSERT_TRUE(killed.killed);
    // The move was journaled, not made: the file is opened by its old name.
    ASSERT_TRUE(QFileInfo::exists(dir + "/a.mp3")) << filesIn(dir).join(' ').toStdString();

    const CliResult r = env.run(openArgs(dir + "/a.mp3"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString file = r.json()["file"].toString();
    EXPECT_EQ(QFileInfo(file).path(), dir);
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_NE(QFileInfo(file).fileName(), "a.mp3") << file.toStdString();
    EXPECT_FALSE(QFileInfo(file).fileName().startsWith(".")) << file.toStdString();
    EXPECT_EQ(readTags(file).year, 2002u);
    EXPECT_EQ(filesIn(dir).size(), 3);
    EXPECT_TRUE(alertTitles(r.json()).contains("Interrupted Save Finished"));
}

TEST(CliInterrupt, FileLeftUnderItsTemporaryNameIsFinishedWhenOpened) {
    CliEnv env;
    const QString dir = env.root() + "/swap";
    // The first file steps aside to a temporary name, the second takes its
    // place.
    ASSERT_TRUE(writeSwappedNames(dir));
    const QStringList save = {"--set", "RenameAlbums=NO", "--save"};
    ASSERT_TRUE(env.runSignalledAt(openArgs(dir, save), "rename-final", 1, SIGKILL).killed);
    const QStringList temps = QDir(dir).entryList({".trovix-*.mp3"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(temps.size(), 1) << filesIn(dir).join(' ').toStdString();

    const CliResult r = env.run(openArgs(dir + "/" + temps.first()));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The file opened is the one that stood aside, under its new name.
    const QString file = r.json()["file"].toString();
    EXPECT_EQ(QFileInfo(file).path(), dir);
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_EQ(filesIn(dir), (QStringList{"01-Alpha.mp3", "02-Beta.mp3"}));
    EXPECT_EQ(readTags(dir + "/01-Alpha.mp3").title, "Alpha");
    EXPECT_EQ(readTags(dir + "/02-Beta.mp3").title, "Beta");
    EXPECT_TRUE(alertTitles(r.json()).contains("Interrupted Save Finished"));
}

TEST(CliInterrupt, AJournalThatWouldRenameTheFolderUnbidIsRefusedWithExitStatusOne) {
    // Shipped with a downloaded album: no file, and a hidden name for the
    // folder. Opening the folder or a file in it renames nothing.
    for (const bool file : {false, true}) {
        CliEnv env;
        const QString dir = threeTrackAlbum(env, "Album");
        QFile journal(dir + "/.trovix-renames");
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(
            R"({"version":2,"files":[],"folder":{"dev":"1","ino":"1","old":"Album","new":".ssh"}})");
        journal.close();
        const CliResult r = env.run(openArgs(file ? dir + "/a.mp3" : dir));
        EXPECT_EQ(r.exitCode, 1) << file << r.err.toStdString();
        EXPECT_TRUE(alertTitles(r.json()).contains("Interrupted Save Not Finished")) << file;
        EXPECT_TRUE(QFileInfo::exists(dir)) << file;
        EXPECT_FALSE(QFileInfo::exists(env.root() + "/.ssh")) << file;
        EXPECT_EQ(filesIn(dir), kOldNames) << file;
    }
}
