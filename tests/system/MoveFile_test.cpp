#include "system/MoveFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(MoveFile, NeverReplacesWhatIsThere) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("b"));
    put(a, "A");
    put(b, "B");
    EXPECT_EQ(moveWithoutReplacing(a, b).code, Outcome::Code::Exists);
    EXPECT_EQ(get(a), QByteArray("A"));
    EXPECT_EQ(get(b), QByteArray("B"));

    // A dangling link is something too.
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), link));
    EXPECT_TRUE(pathExists(link));
    EXPECT_EQ(moveWithoutReplacing(a, link).code, Outcome::Code::Exists);

    const QString c = dir.filePath(QStringLiteral("c"));
    EXPECT_TRUE(moveWithoutReplacing(a, c).ok());
    EXPECT_FALSE(pathExists(a));
    EXPECT_EQ(get(c), QByteArray("A"));
}

TEST(MoveFile, MissingSourceFailsWithAReason) {
    QTemporaryDir dir;
    const Outcome r = moveWithoutReplacing(dir.filePath(QStringLiteral("none")),
                                              dir.filePath(QStringLiteral("x")));
    EXPECT_EQ(r.code, Outcome::Code::Failed);
    EXPECT_FALSE(r.reason.isEmpty());
    EXPECT_FALSE(pathExists(dir.filePath(QStringLiteral("x"))));
}
