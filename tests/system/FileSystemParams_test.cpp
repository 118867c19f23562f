#include "system/FileSystemParams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file system that accepts names up to `limit` characters.
FileSystemParams::CreateTest limitedTo(int limit, int* calls = nullptr) {
    return [limit, calls](int n, const QString&) {
        if (calls) ++*calls;
        return n + 4 <= limit ? 0 : ENAMETOOLONG;
    };
}

} // namespace

TEST(FileSystemParams, BisectionAnswersForCommonLimits) {
    struct Row {
        int limit;
        int answer;
    };
    for (const Row& row : {Row{255, 251}, Row{64, 60}, Row{31, 27}, Row{0, 7}}) {
        int calls = 0;
        FileSystemParams params(limitedTo(row.limit, &calls));
        EXPECT_EQ(params.getMaxFileNameLength(QStringLiteral("/x")), row.answer) << row.limit;
        // One file where the declared limit holds, a bisection elsewhere.
        if (row.limit == 255) {
            EXPECT_EQ(calls, 1);
        }
    }
}

TEST(FileSystemParams, OnlyNameTooLongShortensTheLimit) {
    // A full disk or inode table, or a folder that cannot be written, says
    // nothing about name lengths: the probe keeps the full limit.
    for (int err : {ENOSPC, EDQUOT, EACCES, EROFS, EIO}) {
        int calls = 0;
        FileSystemParams params([&calls, err](int n, const QString&) {
            ++calls;
            return n > 200 ? ENAMETOOLONG : err;
        });
        EXPECT_EQ(params.getMaxFileNameLength(QStringLiteral("/")), 251) << err;
        EXPECT_EQ(calls, 2) << err;
    }
}

TEST(FileSystemParams, BogusPathNeverTouchesTheDisk) {
    int calls = 0;
    FileSystemParams params(limitedTo(255, &calls));
    EXPECT_EQ(params.maxFileNameLength(FileSystemParams::kBogusPath), 251);
    EXPECT_EQ(calls, 0);
}

TEST(FileSystemParams, SecondRequestIsCached) {
    int calls = 0;
    FileSystemParams params(limitedTo(64, &calls));
    EXPECT_EQ(params.maxFileNameLength(QStringLiteral("/a")), 60);
    const int first = calls;
    EXPECT_GT(first, 0);
    EXPECT_EQ(params.maxFileNameLength(QStringLiteral("/a")), 60);
    EXPECT_EQ(calls, first);
}

TEST(FileSystemParams, OneMeasurementServesEveryFolderOfTheDevice) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("a") && QDir(dir.path()).mkpath("b"));
    int calls = 0;
    FileSystemParams params(limitedTo(64, &calls));
    EXPECT_EQ(params.maxFileNameLength(dir.filePath("a")), 60);
    const int first = calls;
    EXPECT_EQ(params.maxFileNameLength(dir.filePath("b")), 60);
    EXPECT_EQ(calls, first);
}

TEST(FileSystemParams, RealProbeLeavesNothingBehind) {
    QTemporaryDir dir;
    FileSystemParams params;
    EXPECT_EQ(params.maxFileNameLength(dir.path()), 251);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
}

// Once every name was cut to 7 characters here; now the save itself meets
// the real error.
TEST(FileSystemParams, UnwritableFolderKeepsTheFullLimit) {
    if (geteuid() == 0) {
        // root writes anywhere; a missing folder is unwritable for everyone.
        FileSystemParams params;
        EXPECT_EQ(params.maxFileNameLength(QStringLiteral("/nonexistent/folder")), 251);
        return;
    }
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0500);
    FileSystemParams params;
    EXPECT_EQ(params.maxFileNameLength(dir.path()), 251);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
}
