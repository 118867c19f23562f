#include "save/RenameJournal.h"

#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

// A journal is input like any file in the folder: it moves only the regular
// files it recorded to plain names that are not the program's own, and it
// renames the folder only when it moved a file of it, was written in that
// very folder, names a plain visible name, and the folder itself was opened.
TEST(RenameJournal, AJournalMovesOnlyWhatItRecordedAndRenamesOnlyItsOwnFolder) {
    // %1, %2: device and inode of "a.mp3"; %3, %4: of the folder.
    const QString toC =
        R"({"old":"a.mp3","temp":".trovix-1-0.mp3","new":"c.mp3","dev":"%1","ino":"%2"})";
    const auto v1 = [](const QString& files, const QString& folder = {}) {
        return R"({"version":1,"files":[)" + files + "]" +
               (folder.isEmpty() ? QString() : R"(,"folder":)" + folder) + "}";
    };
    const auto v2 = [](const QString& files, const QString& newName = {},
                       const QString& folderInode = "%4") {
        return R"({"version":2,"files":[)" + files + R"(],"folder":{"dev":"%3","ino":")" +
               folderInode + "\"" +
               (newName.isNull() ? QString() : R"(,"old":"Album","new":")" + newName + "\"") + "}}";
    };
    const auto named = [](const char* name) {
        return QStringLiteral(
                   R"({"old":"a.mp3","temp":".trovix-1-0.mp3","new":"%1","dev":"%2","ino":"%3"})")
            .arg(QString::fromUtf8(name), "%1", "%2");
    };
    struct Row {
        const char* what;
        QString journal;
        QStringList after;        // the folder's entries
        QString folder = "Album"; // its name afterwards
        bool refused = false;     // reported as not done
        RenameJournal::Scope scope = RenameJournal::Scope::Folder;
    };
    const QStringList untouched = {".trovix-renames", "a.mp3", "b.mp3"};
    const QStringList moved = {"b.mp3", "c.mp3"};
    const QList<Row> rows = {
        {"the recorded file", v1(toC), moved},
        {"another file under the recorded name",
         v1(R"({"old":"b.mp3","temp":".trovix-1-0.mp3","new":"c.mp3","dev":"%1","ino":"%2"})"),
         {"a.mp3", "b.mp3"}},
        {"a path out of the folder", v1(named("../out.mp3")), untouched, "Album", true},
        {"a NUL in a name", v1(named("c\\u0000.mp3")), untouched, "Album", true},
        {"a newline in a name", v1(named("c\\n.mp3")), untouched, "Album", true},
        {"a rollback journal's name", v1(named(".trovix-rollback3-1-1.journal")), untouched,
         "Album", true},
        {"a new copy's name", v1(named(".c.mp3.trovix-1.tmp")), untouched, "Album", true},
        {"the folder renamed as recorded", v2(toC, "Renamed"), moved, "Renamed"},
        {"no file, the folder renamed", v2("", "Renamed"), {"a.mp3", "b.mp3"}, "Album", true},
        {"a hidden folder name", v2(toC, ".ssh"), moved, "Album", true},
        {"a journal of another folder", v2(toC, "Renamed", "1"), moved, "Album", true},
        {"a first-format journal renaming the folder",
         v1(toC, R"({"old":"Album","new":"Renamed"})"), moved, "Album", true},
        {"a single file opened",
         v2(toC, "Renamed"),
         {".trovix-renames", "b.mp3", "c.mp3"},
         "Album",
         false,
         RenameJournal::Scope::SingleFile},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/Album";
        ASSERT_TRUE(QDir().mkpath(dir));
        ASSERT_TRUE(writeBytes(dir + "/a.mp3", "a"));
        ASSERT_TRUE(writeBytes(dir + "/b.mp3", "b"));
        struct stat file, folder;
        ASSERT_EQ(::lstat(QFile::encodeName(dir + "/a.mp3").constData(), &file), 0);
        ASSERT_EQ(::lstat(QFile::encodeName(dir).constData(), &folder), 0);
        ASSERT_TRUE(
            writeBytes(dir + "/" + RenameJournal::kFileName, QString(row.journal)
                                                                 .arg(quint64(file.st_dev))
                                                                 .arg(quint64(file.st_ino))
                                                                 .arg(quint64(folder.st_dev))
                                                                 .arg(quint64(folder.st_ino))
                                                                 .toUtf8()));

        FolderHandle handle;
        ASSERT_TRUE(handle.open(dir));
        const RenameJournal::Recovery r = RenameJournal::finish(handle, dir, row.scope);
        EXPECT_TRUE(r.found);
        EXPECT_EQ(entries(tmp.path()), QStringList{row.folder});
        EXPECT_EQ(entries(tmp.path() + "/" + row.folder), row.after);
        EXPECT_EQ(r.folder, tmp.path() + "/" + row.folder);
        EXPECT_EQ(r.refused, row.refused) << r.problems.join(' ').toStdString();
    }
}
