#include "media/FileStretch.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

// Every read through a stretch gives the file's own bytes, whether it lies in
// the stretch, straddles either end or lies outside it, and fails where the
// file ends, for a file longer and one shorter than the stretch, for a
// stretch at the start and one further in, and for stretches made from those
// (inside them and across their end).
TEST(FileStretch, ReadsAsTheFileDoesInsideAcrossAndOutsideTheStretch) {
    QTemporaryDir dir;
    for (const qsizetype fileSize : {10000, 100}) {
        SCOPED_TRACE(fileSize);
        QByteArray bytes(fileSize, Qt::Uninitialized);
        for (qsizetype i = 0; i < fileSize; ++i)
            bytes[i] = char(i * 31 % 251);
        const QString path = dir.filePath(QStringLiteral("f%1").arg(fileSize));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == fileSize);
        out.close();
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        for (const uint64_t start : {0, 3000}) {
            SCOPED_TRACE(start);
            const FileStretch first(fd, uint64_t(fileSize), start, 4096 - start / 2);
            for (const FileStretch& stretch :
                 {first, FileStretch(first, 3100, 500), FileStretch(first, 3500, 2000)}) {
                struct Row {
                    uint64_t at, length;
                };
                for (const Row& row :
                     {Row{0, 10}, Row{4090, 6}, Row{4090, 7}, Row{4096, 0}, Row{5000, 100},
                      Row{90, 10}, Row{90, 11}, Row{2990, 20}, Row{9990, 10}, Row{9990, 11}}) {
                    SCOPED_TRACE(testing::Message() << row.at << "+" << row.length);
                    const bool inFile = row.at + row.length <= uint64_t(fileSize);
                    const QByteArray read = stretch.bytes(row.at, row.length);
                    EXPECT_EQ(read, inFile ? bytes.mid(qsizetype(row.at), qsizetype(row.length))
                                           : QByteArray());
                    char one = 0;
                    EXPECT_EQ(stretch.readAt(&one, row.length ? 1 : 0, row.at),
                              row.at < uint64_t(fileSize) || row.length == 0);
                }
            }
        }
        ::close(fd);
    }
}

// A read past the stretch reads a stretch as long there, which serves the
// reads after it without the file (closed here to show it).
TEST(FileStretch, AReadPastItServesTheReadsThatFollowIt) {
    QTemporaryDir dir;
    QByteArray bytes(10000, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 % 251);
    const QString path = dir.filePath(QStringLiteral("f"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    out.close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const FileStretch stretch(fd, uint64_t(bytes.size()), 0, 1000);
    EXPECT_EQ(stretch.bytes(5000, 4), bytes.mid(5000, 4));
    ::close(fd);
    EXPECT_EQ(stretch.bytes(5500, 500), bytes.mid(5500, 500));
    EXPECT_EQ(stretch.bytes(10, 10), bytes.mid(10, 10));
    EXPECT_TRUE(stretch.bytes(5999, 2).isEmpty()); // past both: the file is gone
}
