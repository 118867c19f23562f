#include "media/FileHead.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

// Every read through the head gives the file's own bytes, whether it lies in
// the head, straddles its end or lies beyond it, and fails where the file
// ends, for a file longer and one shorter than the head.
TEST(FileHead, ReadsAsTheFileDoesInsideAcrossAndPastTheHead) {
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
        const FileHead head(fd, uint64_t(fileSize), 4096);
        struct Row {
            uint64_t at, length;
        };
        for (const Row& row : {Row{0, 10}, Row{4090, 6}, Row{4090, 7}, Row{4096, 0}, Row{5000, 100},
                               Row{90, 10}, Row{90, 11}, Row{9990, 10}, Row{9990, 11}}) {
            SCOPED_TRACE(testing::Message() << row.at << "+" << row.length);
            const bool inFile = row.at + row.length <= uint64_t(fileSize);
            const QByteArray read = head.bytes(row.at, row.length);
            EXPECT_EQ(read,
                      inFile ? bytes.mid(qsizetype(row.at), qsizetype(row.length)) : QByteArray());
            char one = 0;
            EXPECT_EQ(head.readAt(&one, row.length ? 1 : 0, row.at),
                      row.at < uint64_t(fileSize) || row.length == 0);
        }
        ::close(fd);
    }
}
