#include "save/FolderBackup.h"

#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SaveBackup, SameFolderThreeTimesGetsNumberedNames) {
    QTemporaryDir tmp;
    const QString album = tmp.path() + "/Album X";
    const QString backups = tmp.path() + "/Backups";
    QDir().mkpath(album);
    QDir().mkpath(backups);
    ASSERT_TRUE(writeBytes(album + "/a.mp3", "abc"));
    for (int i = 0; i < 3; ++i) {
        const auto r = FolderBackup::backupFolder(
            album, FolderBackup::chooseTarget(backups, "Album X"), nullptr);
        ASSERT_EQ(r.outcome.code, Outcome::Code::Done) << r.outcome.reason.toStdString();
    }
    EXPECT_EQ(entries(backups), (QStringList{"Album X", "Album X 1", "Album X 2"}));
    EXPECT_EQ(readBytes(backups + "/Album X 2/a.mp3"), "abc");
}

TEST(SaveBackup, NamesAShellWouldInterpretAreCopiedLiterally) {
    QTemporaryDir tmp;
    const QString album = tmp.path() + "/Quote\" $HOME `x`";
    QDir().mkpath(album + "/sub dir");
    const QStringList names = {"It's \"$PATH\".mp3", "back`id`.m4a", "new\nline.mp3", ".hidden",
                               "dollar $(rm -rf x).mp3"};
    for (const QString& n : names)
        ASSERT_TRUE(writeBytes(album + "/" + n, n.toUtf8()));
    ASSERT_TRUE(writeBytes(album + "/sub dir/inner.mp3", "inner"));
    ::symlink("back`id`.m4a", QFile::encodeName(album + "/link").constData());

    const QString target = tmp.path() + "/copy";
    const auto r = FolderBackup::backupFolder(album, target, nullptr);
    ASSERT_EQ(r.outcome.code, Outcome::Code::Done) << r.outcome.reason.toStdString();
    EXPECT_EQ(entries(target), entries(album));
    for (const QString& n : names)
        EXPECT_EQ(readBytes(target + "/" + n), n.toUtf8()) << n.toStdString();
    EXPECT_EQ(readBytes(target + "/sub dir/inner.mp3"), "inner");
    EXPECT_EQ(QFileInfo(target + "/link").symLinkTarget(), target + "/back`id`.m4a");
}

TEST(SaveBackup, KeepsPermissionBitsAndModificationTimes) {
    QTemporaryDir tmp;
    const QString album = tmp.path() + "/A";
    QDir().mkpath(album + "/ro");
    ASSERT_TRUE(writeBytes(album + "/x.mp3", "x"));
    ASSERT_TRUE(writeBytes(album + "/ro/y.mp3", "y"));
    const QByteArray file = QFile::encodeName(album + "/x.mp3");
    ::chmod(file.constData(), 0640);
    const timespec times[2] = {{1000000000, 0}, {1100000000, 500}};
    ::utimensat(AT_FDCWD, file.constData(), times, 0);
    ::chmod(QFile::encodeName(album + "/ro").constData(), 0555);
    ::utimensat(AT_FDCWD, QFile::encodeName(album + "/ro").constData(), times, 0);

    const QString target = tmp.path() + "/B";
    const auto r = FolderBackup::backupFolder(album, target, nullptr);
    ASSERT_EQ(r.outcome.code, Outcome::Code::Done) << r.outcome.reason.toStdString();
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(target + "/x.mp3").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    ASSERT_EQ(::stat(QFile::encodeName(target + "/ro").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0555u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(readBytes(target + "/ro/y.mp3"), "y");
    ::chmod(QFile::encodeName(album + "/ro").constData(), 0755);
    ::chmod(QFile::encodeName(target + "/ro").constData(), 0755);
}

TEST(SaveBackup, EmptyFolderIsNothingToBackUpAndFailuresCarryAReason) {
    QTemporaryDir tmp;
    QDir().mkpath(tmp.path() + "/empty");
    auto r = FolderBackup::backupFolder(tmp.path() + "/empty", tmp.path() + "/t", nullptr);
    EXPECT_EQ(r.outcome.code, Outcome::Code::Nothing);
    EXPECT_TRUE(r.ok());
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/t"));

    r = FolderBackup::backupFolder(tmp.path() + "/missing", tmp.path() + "/t", nullptr);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.outcome.reason.contains("missing")) << r.outcome.reason.toStdString();

    // The target's parent is a file: the backup folder cannot be made.
    QDir().mkpath(tmp.path() + "/full");
    ASSERT_TRUE(writeBytes(tmp.path() + "/full/a.mp3", "a"));
    ASSERT_TRUE(writeBytes(tmp.path() + "/plain", "p"));
    r = FolderBackup::backupFolder(tmp.path() + "/full", tmp.path() + "/plain/t", nullptr);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.outcome.reason.contains("plain/t")) << r.outcome.reason.toStdString();
}

TEST(SaveBackup, BackupsFolderFollowsTheXdgMusicDirectory) {
    QTemporaryDir tmp;
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty());
    ASSERT_TRUE(writeBytes(config + "/user-dirs.dirs",
                           "XDG_MUSIC_DIR=\"" + QFile::encodeName(tmp.path()) + "/Tunes\"\n"));
    EXPECT_EQ(FolderBackup::backupsFolder(), tmp.path() + "/Tunes/Trovix Backups");
    QFile::remove(config + "/user-dirs.dirs");
    EXPECT_EQ(FolderBackup::backupsFolder(), QDir::homePath() + "/Music/Trovix Backups");
}

TEST(SaveBackup, FailedBackupRemovesItsPartialCopy) {
    QTemporaryDir tmp;
    const QString source = tmp.path() + "/s";
    // Copied first, then the copy fails: the target's longer prefix pushes a
    // deep entry past the longest path the system takes.
    ASSERT_TRUE(QDir().mkpath(source));
    ASSERT_TRUE(writeBytes(source + "/a.mp3", "audio"));
    QString deep = source + "/b";
    while (deep.size() < 3900)
        deep += "/" + QString(200, 'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString target = tmp.path() + "/" + QString(250, 't');
    const FolderBackup::Copy r = FolderBackup::backupFolder(source, target, nullptr);
    ASSERT_FALSE(r.ok());
    EXPECT_FALSE(r.outcome.reason.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));
}
