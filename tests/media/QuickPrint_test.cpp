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
// pieces of other sizes: the print must depend on the bytes alone.
TEST(QuickPrint, DependsOnTheBytesAloneNotOnThePieces) {
    QByteArray bytes(200 * 1024 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + i / 977);
    const QByteArray whole = printInPieces(bytes, {});
    for (const std::vector<qsizetype>& pieces :
         std::vector<std::vector<qsizetype>>{{1}, {65535, 1}, {65536, 65536}, {100, 70000, 3}})
        EXPECT_EQ(printInPieces(bytes, pieces), whole);

    QByteArray changed = bytes;
    changed[150000] = char(changed[150000] ^ 1);
    EXPECT_NE(printInPieces(changed, {}), whole);
    EXPECT_NE(printInPieces(bytes.chopped(1), {}), whole);
    EXPECT_NE(printInPieces(bytes + QByteArray(1, '\0'), {}), whole);
}
