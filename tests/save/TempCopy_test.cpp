#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "save/TempCopy.h"
#include "support/M4aChecks.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"
#include "system/FolderHandle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

QByteArray attribute(const QString& path, const char* name) {
    const QByteArray native = QFile::encodeName(path);
    const ssize_t size = ::getxattr(native.constData(), name, nullptr, 0);
    if (size < 0) return {};
    QByteArray value(qsizetype(size), '\0');
    ::getxattr(native.constData(), name, value.data(), size_t(size));
    return value;
}

// An access control list that also lets user 1234 read: the kernel's form
// of "user::rw-, user:1234:r--, group::r--, mask::r--, other::---".
QByteArray readableByUser1234() {
    QByteArray acl;
    auto le16 = [&acl](quint16 v) { acl.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto le32 = [&acl](quint32 v) {
        for (int i = 0; i < 4; ++i)
            acl.append(char((v >> (8 * i)) & 0xFF));
    };
    le32(2);
    const struct {
        quint16 tag, perm;
        quint32 id;
    } entries[] = {{0x01, 6, 0xFFFFFFFF},
                   {0x02, 4, 1234},
                   {0x04, 4, 0xFFFFFFFF},
                   {0x10, 4, 0xFFFFFFFF},
                   {0x20, 0, 0xFFFFFFFF}};
    for (const auto& e : entries) {
        le16(e.tag);
        le16(e.perm);
        le32(e.id);
    }
    return acl;
}

pid_t deadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace

TEST(TempCopy, ANameCarriesTheFileAndTheProcess) {
    EXPECT_EQ(TempCopy::nameFor("song.mp3", 4242), QByteArray(".song.mp3.trovix-4242.tmp"));
    QByteArray file;
    EXPECT_EQ(TempCopy::ownerOf(".song.mp3.trovix-4242.tmp", &file), 4242);
    EXPECT_EQ(file, QByteArray("song.mp3"));
    for (const char* other : {"song.mp3", ".song.mp3", ".song.trovix-.tmp", ".song.trovix-12a.tmp",
                              ".trovix-12.tmp", "song.mp3.trovix-12.tmp", ".song.trovix-12.tmpx"})
        EXPECT_EQ(TempCopy::ownerOf(other), 0) << other;

    // A long name is cut to fit, never inside a UTF-8 character.
    const QByteArray longName = QString(120, QChar(0x00E9)).toUtf8() + ".mp3"; // 244 bytes
    const QByteArray name = TempCopy::nameFor(longName, 4194304);
    EXPECT_LE(name.size(), 255);
    EXPECT_EQ(TempCopy::ownerOf(name, &file), 4194304);
    EXPECT_TRUE(longName.startsWith(file));
    EXPECT_EQ(QString::fromUtf8(file).toUtf8(), file);
}

TEST(TempCopy, CopiesLeftByProcessesThatAreGoneAreRemoved) {
    QTemporaryDir dir;
    auto touch = [&dir](const QByteArray& name) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        return f.open(QIODevice::WriteOnly);
    };
    const pid_t gone = deadPid();
    ASSERT_TRUE(touch("song.mp3"));
    ASSERT_TRUE(touch(TempCopy::nameFor("song.mp3", gone)));
    ASSERT_TRUE(touch(TempCopy::nameFor("other.m4a", ::getpid())));
    ASSERT_TRUE(touch(".hidden"));
    ASSERT_TRUE(touch("Trovix.1234.1")); // a file stranded by an old rename: the user's
    ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromUtf8(TempCopy::nameFor("dir.mp3", gone))));

    FolderHandle folder;
    ASSERT_TRUE(folder.open(dir.path()));
    EXPECT_EQ(TempCopy::removeOrphans(folder), QStringList{QStringLiteral("song.mp3")});
    QStringList left =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    QStringList expected = {QStringLiteral("song.mp3"),
                            QString::fromUtf8(TempCopy::nameFor("other.m4a", ::getpid())),
                            QStringLiteral(".hidden"), QStringLiteral("Trovix.1234.1"),
                            QString::fromUtf8(TempCopy::nameFor("dir.mp3", gone))};
    expected.sort();
    EXPECT_EQ(left, expected);
}

TEST(TempCopy, AWholeFileRewriteKeepsTheFilesMetadata) {
    struct Row {
        const char* name;
        const char* file;
        std::function<bool(const QString&)> make;
    };
    const Row rows[] = {
        {"MP3", "song.mp3",
         [](const QString& p) {
             return writeMp3WithTag(p, id3v2Tag(3, {id3v2Frame(3, "TIT2", id3Latin1TextBody("a"))}),
                                    {.frames = 50});
         }},
        {"M4A", "song.m4a", [](const QString& p) { return writeM4a(p, {.freePadding = 0}); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(row.file));
        const QByteArray native = QFile::encodeName(path);
        ASSERT_TRUE(row.make(path));
        ASSERT_EQ(::chmod(native.constData(), 0640), 0);
        const bool attributes =
            ::setxattr(native.constData(), "user.trovix.note", "kept", 4, 0) == 0;
        const QByteArray acl = readableByUser1234();
        const bool acls = ::setxattr(native.constData(), "system.posix_acl_access", acl.constData(),
                                     size_t(acl.size()), 0) == 0;
        const bool root = ::geteuid() == 0;
        if (root) {
            ASSERT_EQ(::chown(native.constData(), 4321, 4322), 0);
        }
        struct stat before {};
        ASSERT_EQ(::stat(native.constData(), &before), 0);

        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        file->setTags({.title = QString(3000, u't')}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        struct stat after {};
        ASSERT_EQ(::stat(native.constData(), &after), 0);
        EXPECT_NE(after.st_ino, before.st_ino); // a new file took its place
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        if (attributes) {
            EXPECT_EQ(attribute(path, "user.trovix.note"), QByteArray("kept"));
        }
        if (acls) {
            EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
        }
        if (!attributes || !acls)
            std::fprintf(stderr, "extended attributes or ACLs not supported here\n");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QString::fromLatin1(row.file)});
    }
}
