#include "model/CustomTag.h"

#include <gtest/gtest.h>

TEST(CustomTagText, NewTagHasOnlyTheReverseLine) {
    CustomTag tag;
    EXPECT_EQ(tag.customTagToString(), QStringLiteral("revArtAlb\t0\n"));
}

TEST(CustomTagText, LinesComeInFixedOrderAndAbsentValuesGiveNoLine) {
    CustomTag tag;
    tag.setIADBKey(QStringLiteral("#AMG:r123"));
    tag.setIADBSearchTerms(QStringLiteral("Beatles / Abbey Road"));
    EXPECT_EQ(tag.customTagToString(),
              QStringLiteral("searchTerms\tBeatles / Abbey Road\nfreeDBSpec\t#AMG:r123\nrevArtAlb\t0\n"));
    tag.setVariousArtist(QStringLiteral("Various"));
    tag.setReverseArtistAlbum(true);
    EXPECT_EQ(tag.customTagToString(),
              QStringLiteral("searchTerms\tBeatles / Abbey Road\nfreeDBSpec\t#AMG:r123\n"
                             "variousArtist\tVarious\nrevArtAlb\t1\n"));
}

TEST(CustomTagText, NullSetterKeepsOldValue) {
    CustomTag tag;
    tag.setIADBKey(QStringLiteral("rock 1234"));
    tag.setIADBKey(QString());
    EXPECT_EQ(tag.iadbKey(), QStringLiteral("rock 1234"));
    EXPECT_TRUE(tag.variousArtist().isNull());
    EXPECT_FALSE(tag.reverseArtistAlbum());
}

TEST(CustomTagText, ReadsBackWhatItWrites) {
    CustomTag tag;
    tag.setIADBSearchTerms(QStringLiteral("Björk / Début"));
    tag.setIADBKey(QStringLiteral("#GOOG:abc"));
    tag.setVariousArtist(QStringLiteral("Various Artists"));
    tag.setReverseArtistAlbum(true);
    EXPECT_EQ(CustomTag::fromString(tag.customTagToString()), tag);
}

TEST(CustomTagText, ReaderSkipsWhiteSpaceAndUnknownKeys) {
    const CustomTag tag = CustomTag::fromString(
        QStringLiteral("  \r\nbogus\tvalue\nsearchTerms\t  A / B\nrevArtAlb\t1"));
    EXPECT_EQ(tag.iadbSearchTerms(), QStringLiteral("A / B"));
    EXPECT_TRUE(tag.reverseArtistAlbum());
    EXPECT_TRUE(tag.iadbKey().isNull());
}

TEST(CustomTagText, ReaderStopsAtAKeyWithoutValue) {
    const CustomTag tag = CustomTag::fromString(QStringLiteral("freeDBSpec\tx\nsearchTerms"));
    EXPECT_EQ(tag.iadbKey(), QStringLiteral("x"));
    EXPECT_TRUE(tag.iadbSearchTerms().isNull());
    EXPECT_TRUE(CustomTag::fromString(QString()).dict().isEmpty());
}
