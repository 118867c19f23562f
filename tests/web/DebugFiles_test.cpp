#include "web/DebugFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

class DebugFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetDebugFileFolder(dir.path());
        SetDebugFilesEnabled(true);
    }
    void TearDown() override {
        SetDebugFileFolder(QString());
        SetDebugFilesEnabled(false);
        SetDebugFileLimits(fLimits);
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    static QByteArray read(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static void write(const QString& p, const QByteArray& bytes) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    // The name the next dump of this pattern will get.
    QString nextName(const char* pattern) const {
        return path(QString::fromLatin1(pattern).arg(gDebugFileNum.load()));
    }

    QTemporaryDir dir;
    const DebugFileLimits fLimits = CurrentDebugFileLimits();
};

TEST_F(DebugFilesTest, NothingIsWrittenUnlessAsked) {
    SetDebugFilesEnabled(false);
    EXPECT_EQ(WriteDebugFile("/tmp/Trovix_AMG_%d.txt", QByteArray("x")), -1);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// A server cannot fill the disk: each dump is cut to its cap, and the oldest
// dumps go, an earlier run's first, until the folder fits its own.
TEST_F(DebugFilesTest, EachDumpAndTheFolderStayWithinTheirCaps) {
    SetDebugFileLimits({10, 25});
    write(path(QStringLiteral("Trovix_Earlier_1.htm")), "12345678");
    write(path(QStringLiteral("Other.txt")), QByteArray(100, 'o'));
    QFile earlier(path(QStringLiteral("Trovix_Earlier_1.htm")));
    ASSERT_TRUE(earlier.open(QIODevice::ReadWrite));
    ASSERT_TRUE(earlier.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                    QFileDevice::FileModificationTime));
    earlier.close();

    QStringList written;
    for (int i = 0; i < 3; ++i) {
        const int n = WriteDebugFile("/tmp/Trovix_MB_%d.json", QByteArray(100, char('a' + i)));
        ASSERT_GE(n, 0);
        written << QStringLiteral("Trovix_MB_%1.json").arg(n);
    }
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    QStringList expected{QStringLiteral("Other.txt"), written[1], written[2]};
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(read(path(written[2])), QByteArray(10, 'c'));
}

TEST_F(DebugFilesTest, UrlAndPageGetConsecutiveNumbersAndPrivateFiles) {
    const int first = gDebugFileNum.load();
    const int urlNum = WriteDebugFile("/tmp/Trovix_AMG_%d.txt", QStringLiteral("http://x/?q=1"));
    const int pageNum = WriteDebugFile("/tmp/Trovix_AMG_AlbumSearchResults_%d.htm",
                                       QString::fromLatin1("Caf\xC3\xA9 \xFF"));
    EXPECT_EQ(urlNum, first);
    EXPECT_EQ(pageNum, first + 1);
    const QString pagePath =
        path(QStringLiteral("Trovix_AMG_AlbumSearchResults_%1.htm").arg(pageNum));
    EXPECT_EQ(read(path(QStringLiteral("Trovix_AMG_%1.txt").arg(urlNum))), "http://x/?q=1");
    // The page's own bytes, not a re-encoding of its Latin-1 text.
    EXPECT_EQ(read(pagePath), QByteArray("Caf\xC3\xA9 \xFF"));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(pagePath).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(DebugFilesTest, ReplacesOnlyARegularFileOfTheCurrentUser) {
    const QString own = nextName("Trovix_GnuDB_%1.htm");
    write(own, "an old and much longer dump");
    ::chmod(QFile::encodeName(own).constData(), 0644);
    EXPECT_GE(WriteDebugFile("/tmp/Trovix_GnuDB_%d.htm", QByteArray("new")), 0);
    EXPECT_EQ(read(own), "new");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(DebugFilesTest, RefusesAPlantedLink) {
    QTemporaryDir victimDir;
    const QString victim = victimDir.filePath(QStringLiteral("precious"));
    write(victim, "keep me");
    const QString planted = nextName("Trovix_FreeDB_%1.txt");
    ASSERT_TRUE(QFile::link(victim, planted));
    EXPECT_EQ(WriteDebugFile("/tmp/Trovix_FreeDB_%d.txt", QByteArray("overwritten")), -1);
    EXPECT_EQ(read(victim), "keep me");
    // A dangling link must not create its target either.
    const QString absent = victimDir.filePath(QStringLiteral("absent"));
    ASSERT_TRUE(QFile::link(absent, nextName("Trovix_FreeDB_%1.txt")));
    EXPECT_EQ(WriteDebugFile("/tmp/Trovix_FreeDB_%d.txt", QByteArray("x")), -1);
    EXPECT_FALSE(QFile::exists(absent));
}

TEST_F(DebugFilesTest, RefusesAnotherUsersFileAndOtherKindsOfEntry) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
    const QString theirs = nextName("Trovix_Google_%1.htm");
    write(theirs, "their file");
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), kNobody, kNobody), 0);
    EXPECT_EQ(WriteDebugFile("/tmp/Trovix_Google_%d.htm", QByteArray("mine")), -1);
    EXPECT_EQ(read(theirs), "their file");

    const QString fifo = nextName("Trovix_Google_%1.htm");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(WriteDebugFile("/tmp/Trovix_Google_%d.htm", QByteArray("mine")), -1);

    ASSERT_TRUE(QDir(dir.path()).mkdir(QFileInfo(nextName("Trovix_Google_%1.htm")).fileName()));
    EXPECT_EQ(WriteDebugFile("/tmp/Trovix_Google_%d.htm", QByteArray("mine")), -1);
}

TEST_F(DebugFilesTest, CleanUpDeletesOnlyTheCurrentUsersRegularTrovixFiles) {
    QTemporaryDir victimDir;
    const QString target = victimDir.filePath(QStringLiteral("Trovix_target"));
    write(target, "keep");
    write(path(QStringLiteral("Trovix_AMG_1.txt")), "a");
    write(path(QStringLiteral("Trovix_GOOG_AlbumSearchResults_2.htm")), "b");
    write(path(QStringLiteral("Other_3.txt")), "c");
    ASSERT_TRUE(QFile::link(target, path(QStringLiteral("Trovix_link"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("TrovixFolder")));
    const bool root = geteuid() == 0;
    if (root) {
        write(path(QStringLiteral("Trovix_theirs")), "d");
        ASSERT_EQ(::chown(QFile::encodeName(path(QStringLiteral("Trovix_theirs"))).constData(),
                          kNobody, kNobody),
                  0);
    }

    CleanUpDebugFiles();

    QStringList left =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList expected{QStringLiteral("Other_3.txt"), QStringLiteral("TrovixFolder"),
                         QStringLiteral("Trovix_link")};
    if (root) expected.append(QStringLiteral("Trovix_theirs"));
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(read(target), "keep");
}

} // namespace
