#include "docs/FolderRecovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Anything named like a journal that is not a regular file of a size a save
// could make is reported and left where it is, at once: opening the folder
// never waits on it, nor reads it whole.
TEST(FolderRecovery, WhatIsNamedLikeAJournalButCannotBeOneIsReportedAndLeftInPlace) {
    struct Row {
        const char* what;
        std::function<bool(const QByteArray& path)> make;
    };
    const Row rows[] = {
        {"a FIFO", [](const QByteArray& p) { return ::mkfifo(p.constData(), 0600) == 0; }},
        {"a link to an endless device",
         [](const QByteArray& p) { return ::symlink("/dev/zero", p.constData()) == 0; }},
        {"a sparse file of 4 GB",
         [](const QByteArray& p) {
             const int fd = ::open(p.constData(), O_WRONLY | O_CREAT, 0600);
             const bool ok = fd >= 0 && ::ftruncate(fd, off_t(4) << 30) == 0;
             if (fd >= 0) ::close(fd);
             return ok;
         }},
        {"a file of 5 MB",
         [](const QByteArray& p) {
             QFile f(QFile::decodeName(p));
             return f.open(QIODevice::WriteOnly) && f.write(QByteArray(5 << 20, ' ')) == 5 << 20;
         }},
    };
    for (const char* journal : {".trovix-renames", ".trovix-rollback3-1-1.journal"}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(journal) + ", " + row.what);
            QTemporaryDir dir;
            QFile song(dir.filePath("song.mp3"));
            ASSERT_TRUE(song.open(QIODevice::WriteOnly));
            song.write("a song");
            song.close();
            const QByteArray path = QFile::encodeName(dir.filePath(journal));
            ASSERT_TRUE(row.make(path));
            struct stat before {
            }, after{};
            ASSERT_EQ(::lstat(path.constData(), &before), 0);

            const FolderRecovery::Result r =
                FolderRecovery::run(dir.path(), RenameJournal::Scope::Folder);
            ASSERT_TRUE(r.alert);
            EXPECT_EQ(r.alert->title, FolderRecovery::kRefusedTitle);
            EXPECT_TRUE(r.alert->message.contains(QString::fromLatin1(journal)) ||
                        r.alert->message.contains(u"rename journal"))
                << r.alert->message.toStdString();
            ASSERT_EQ(::lstat(path.constData(), &after), 0);
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(r.folder, dir.path());
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
                      2);
        }
    }
}
