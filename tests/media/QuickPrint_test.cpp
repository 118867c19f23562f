#include "media/QuickPrint.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray printInPieces(const QByteArray& bytes, const std::vector<qsizetype>& pieces) {
    QuickPrint print;
    qsizetype at = 0;
    for (const qsizetype piece : pieces) {
        print.addData(bytes.constData() + at, size_t(piece));
        at += piece;
    }
    print.addData(bytes.constData() + at, size_t(bytes.size() - at));
    return print.result();
}

} // namespace

// A save prints the audio as it copies it and again as it reads it back, in
// pieces of other sizes or all at once: the print must depend on the bytes
// alone.
TEST(QuickPrint, DependsOnTheBytesAloneNotOnThePieces) {
    QByteArray bytes(200 * 1024 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + i / 977);
    const QByteArray whole = printInPieces(bytes, {});
    for (const std::vector<qsizetype>& pieces :
         std::vector<std::vector<qsizetype>>{{1}, {65535, 1}, {65536, 65536}, {100, 70000, 3}})
        EXPECT_EQ(printInPieces(bytes, pieces), whole);
    // Handed in at once, the bytes print alike at every block boundary.
    EXPECT_EQ(QuickPrint::of(bytes.constData(), size_t(bytes.size())), whole);
    for (const qsizetype size : {0, 1, 65535, 65536, 65537, 131072})
        EXPECT_EQ(QuickPrint::of(bytes.constData(), size_t(size)),
                  printInPieces(bytes.first(size), {}))
            << size;

    QByteArray changed = bytes;
    changed[150000] = char(changed[150000] ^ 1);
    EXPECT_NE(printInPieces(changed, {}), whole);
    EXPECT_NE(printInPieces(bytes.chopped(1), {}), whole);
    EXPECT_NE(printInPieces(bytes + QByteArray(1, '\0'), {}), whole);
}
