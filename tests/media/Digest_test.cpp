#include "media/Digest.h"

#include <gtest/gtest.h>

// The known answers for "abc", given whole and in pieces: the library is
// opened at run time, so a wrong function wired up shows here.
TEST(Digest, KnownAnswersWholeAndInPieces) {
    struct Row {
        Digest::Kind kind;
        const char* hex;
    };
    for (const Row& row :
         {Row{Digest::Kind::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
          Row{Digest::Kind::Sha256,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}}) {
        EXPECT_EQ(Digest::hash("abc", 3, row.kind).toHex(), QByteArray(row.hex));
        Digest pieces(row.kind);
        pieces.addData("a", 1);
        pieces.addData(QByteArray("bc"));
        EXPECT_EQ(pieces.result().toHex(), QByteArray(row.hex));
    }
}
