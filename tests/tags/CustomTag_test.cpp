#include "tags/CustomTag.h"

#include <gtest/gtest.h>

TEST(CustomTagText, NewTagHasOnlyTheReverseLine) {
    CustomTag tag;
    EXPECT_EQ(tag.customTagToString(), QStringLiteral("revArtAlb\t0\n"));
}

TEST(CustomTagText, LinesComeInFixedOrderAndAbsentValuesGiveNoLine) {
    CustomTag tag;
    tag.setResultKey(QStringLiteral("#AMG:r123"));
    tag.setSavedSearchTerms(QStringLiteral("Beatles / Abbey Road"));
    EXPECT_EQ(
        tag.customTagToString(),
        QStringLiteral("searchTerms\tBeatles / Abbey Road\nfreeDBSpec\t#AMG:r123\nrevArtAlb\t0\n"));
    tag.setVariousArtist(QStringLiteral("Various"));
    tag.setReverseArtistAlbum(true);
    EXPECT_EQ(tag.customTagToString(),
              QStringLiteral("searchTerms\tBeatles / Abbey Road\nfreeDBSpec\t#AMG:r123\n"
                             "variousArtist\tVarious\nrevArtAlb\t1\n"));
}

TEST(CustomTagText, NullSetterKeepsOldValue) {
    CustomTag tag;
    tag.setResultKey(QStringLiteral("rock 1234"));
    tag.setResultKey(QString());
    EXPECT_EQ(tag.resultKey(), QStringLiteral("rock 1234"));
    EXPECT_TRUE(tag.variousArtist().isNull());
    EXPECT_FALSE(tag.reverseArtistAlbum());
}

TEST(CustomTagText, ReadsBackWhatItWrites) {
    CustomTag tag;
    tag.setSavedSearchTerms(QStringLiteral("Björk / Début"));
    tag.setResultKey(QStringLiteral("#GOOG:abc"));
    tag.setVariousArtist(QStringLiteral("Various Artists"));
    tag.setReverseArtistAlbum(true);
    EXPECT_EQ(CustomTag::fromString(tag.customTagToString()), tag);
}

TEST(CustomTagText, ReaderSkipsWhiteSpaceAndUnknownKeys) {
    const CustomTag tag = CustomTag::fromString(
        QStringLiteral("  \r\nbogus\tvalue\nsearchTerms\t  A / B\nrevArtAlb\t1"));
    EXPECT_EQ(tag.savedSearchTerms(), QStringLiteral("A / B"));
    EXPECT_TRUE(tag.reverseArtistAlbum());
    EXPECT_TRUE(tag.resultKey().isNull());
}

TEST(CustomTagText, ReaderStopsAtAKeyWithoutValue) {
    const CustomTag tag = CustomTag::fromString(QStringLiteral("freeDBSpec\tx\nsearchTerms"));
    EXPECT_EQ(tag.resultKey(), QStringLiteral("x"));
    EXPECT_TRUE(tag.savedSearchTerms().isNull());
    EXPECT_TRUE(CustomTag::fromString(QString()).dict().isEmpty());
}

// A blank value reads as empty and never takes the next line with it; the
// lines after it keep their own values.
TEST(CustomTagText, BlankValuesReadAsEmpty) {
    struct Row {
        const char* text;
        const char* terms;
        const char* key;
        const char* various;
        bool reverse;
    };
    const Row rows[] = {
        {"variousArtist\t \nrevArtAlb\t1\n", nullptr, nullptr, "", true},
        {"searchTerms\t\nfreeDBSpec\t#AMG:r1\nrevArtAlb\t0\n", "", "#AMG:r1", nullptr, false},
        {"searchTerms\t / Album\nrevArtAlb\t0\n", " / Album", nullptr, nullptr, false},
        {"searchTerms\tA / B\nfreeDBSpec\trock 12ab\nrevArtAlb\t1\n", "A / B", "rock 12ab", nullptr,
         true},
    };
    auto text = [](const char* s) { return s ? QString::fromUtf8(s) : QString(); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const CustomTag tag = CustomTag::fromString(QString::fromUtf8(row.text));
        EXPECT_EQ(tag.savedSearchTerms(), text(row.terms));
        EXPECT_EQ(tag.savedSearchTerms().isNull(), row.terms == nullptr);
        EXPECT_EQ(tag.resultKey(), text(row.key));
        EXPECT_EQ(tag.variousArtist(), text(row.various));
        EXPECT_EQ(tag.variousArtist().isNull(), row.various == nullptr);
        EXPECT_EQ(tag.reverseArtistAlbum(), row.reverse);
    }
}

// A value that would add a line to the stored form is refused, and reading
// keeps the first line of each key: a later line cannot override it.
TEST(CustomTagText, LineBreaksCannotSpoofTheStoredForm) {
    CustomTag tag;
    tag.setResultKey(QStringLiteral("#GNU:rock/0a0b0c0d"));
    tag.setResultKey(QStringLiteral("#GNU:rock\nvariousArtist\tInjected/0a0b0c0d"));
    tag.setVariousArtist(QStringLiteral("A\tB"));
    tag.setSavedSearchTerms(QStringLiteral("x\ry"));
    EXPECT_EQ(tag.customTagToString(),
              QStringLiteral("freeDBSpec\t#GNU:rock/0a0b0c0d\nrevArtAlb\t0\n"));

    const CustomTag read = CustomTag::fromString(
        QStringLiteral("freeDBSpec\tfirst\r\nrevArtAlb\t0\nfreeDBSpec\tsecond\nrevArtAlb\t1\n"
                       "variousArtist\tOnce\nvariousArtist\tTwice\n"));
    EXPECT_EQ(read.resultKey(), QStringLiteral("first"));
    EXPECT_FALSE(read.reverseArtistAlbum());
    EXPECT_EQ(read.variousArtist(), QStringLiteral("Once"));
}
