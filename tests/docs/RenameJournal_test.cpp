#include "docs/RenameJournal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// A journal is input like any file in the folder: one that names a path
// outside the folder, or a file that is not the one it recorded, moves
// nothing.
TEST(RenameJournal, ForgedOrStaleJournalMovesOnlyTheFilesItRecorded) {
    struct Row {
        const char* what;
        QByteArray journal; // %1: device, %2: inode of "a.mp3"
        QStringList after;
        bool problem;
    };
    const QList<Row> rows = {
        {"a path out of the folder",
         R"({"version":1,"files":[{"old":"a.mp3","temp":".trovix-1-0.mp3","new":"../out.mp3",)"
         R"("dev":"%1","ino":"%2"}]})",
         {".trovix-renames", "a.mp3", "b.mp3"},
         true},
        {"another file under the recorded name",
         R"({"version":1,"files":[{"old":"b.mp3","temp":".trovix-1-0.mp3","new":"c.mp3",)"
         R"("dev":"%1","ino":"%2"}]})",
         {"a.mp3", "b.mp3"},
         true},
        {"the recorded file",
         R"({"version":1,"files":[{"old":"a.mp3","temp":".trovix-1-0.mp3","new":"c.mp3",)"
         R"("dev":"%1","ino":"%2"}]})",
         {"b.mp3", "c.mp3"},
         false},
    };
    for (const Row& row : rows) {
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/Album";
        ASSERT_TRUE(QDir().mkpath(dir));
        writeFile(dir + "/a.mp3", "a");
        writeFile(dir + "/b.mp3", "b");
        struct stat st;
        ASSERT_EQ(::lstat(QFile::encodeName(dir + "/a.mp3").constData(), &st), 0);
        writeFile(dir + "/" + RenameJournal::kFileName, QString::fromLatin1(row.journal)
                                                            .arg(quint64(st.st_dev))
                                                            .arg(quint64(st.st_ino))
                                                            .toLatin1());

        const RenameJournal::Recovery r = RenameJournal::finish(dir);
        EXPECT_TRUE(r.found) << row.what;
        EXPECT_EQ(entries(dir), row.after) << row.what;
        EXPECT_EQ(entries(tmp.path()), QStringList{"Album"}) << row.what;
        EXPECT_EQ(!r.problems.isEmpty(), row.problem) << row.what;
    }
}
