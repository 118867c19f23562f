#include "tags/TagValues.h"

#include <gtest/gtest.h>

TEST(TagValuesNumbers, PairTextsSplitAtTheFirstSlashAndJoinAgain) {
    struct Row {
        const char* text;
        const char* number;
        const char* count;
        const char* joined;
    } rows[] = {
        {"3/12", "3", "12", "3/12"},
        {"7", "7", "", "7"},
        {"1/2/3", "1", "2/3", "1/2/3"},
        {"/5", "", "5", "/5"},
    };
    for (const Row& r : rows) {
        const auto [number, count] = TagValues::splitPair(QString::fromLatin1(r.text));
        EXPECT_EQ(number, QString::fromLatin1(r.number)) << r.text;
        EXPECT_EQ(count, QString::fromLatin1(r.count)) << r.text;
        EXPECT_EQ((TagValues{.track = number, .trackCount = count}.longTrack()),
                  QString::fromLatin1(r.joined))
            << r.text;
    }
    EXPECT_TRUE(TagValues::splitPair(QString()).first.isNull());
}

TEST(TagValuesNumbers, CountsBelowOneAreNone) {
    TagValues v = TagValues::withTrack(4, 0);
    EXPECT_EQ(v.longTrack(), QStringLiteral("4"));
    v.setDisc(2, 3);
    EXPECT_EQ(v.disc, QStringLiteral("2"));
    EXPECT_EQ(v.discCountNumber(), 3);
    v.track = QStringLiteral("side A");
    EXPECT_EQ(v.trackNumber(), 0);
}

TEST(TagValuesFields, AssignTakesOnlyTheNamedFieldsAndAbsentDiffersFromEmpty) {
    const TagValues from{.title = QStringLiteral("New"),
                         .artist = QStringLiteral("Someone"),
                         .year = QStringLiteral(""),
                         .custom = CustomTag()};
    TagValues to{.title = QStringLiteral("Old"), .album = QStringLiteral("Kept")};
    to.assign(from, TagField::Title | TagField::Year | TagField::Custom);
    EXPECT_EQ(to.title, QStringLiteral("New"));
    EXPECT_TRUE(to.artist.isNull());
    EXPECT_EQ(to.album, QStringLiteral("Kept"));
    EXPECT_TRUE(to.custom.has_value());
    EXPECT_EQ(to.differing(from), TagField::Artist | TagField::Album);

    TagValues absent = to;
    absent.year = QString();
    EXPECT_EQ(to.differing(absent), TagFields(TagField::Year));
    EXPECT_FALSE(to == absent);
    EXPECT_EQ(to.text(TagField::Album), QStringLiteral("Kept"));
    EXPECT_TRUE(to.text(TagField::Custom).isNull());
}
