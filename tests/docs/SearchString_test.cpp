#include "docs/SearchString.h"

#include <gtest/gtest.h>


TEST(SearchString, BuildTreatsNullAndEmptyDifferently) {
    EXPECT_EQ(BuildSearchString(QString(), QString()), QString(u""_qs));
    EXPECT_FALSE(BuildSearchString(QString(), QString()).isNull());
    EXPECT_EQ(BuildSearchString(QString(), QStringLiteral("Help!")), QStringLiteral("Help!"));
    EXPECT_EQ(BuildSearchString(QStringLiteral("Beatles"), QString()), QStringLiteral("Beatles"));
    EXPECT_EQ(BuildSearchString(QString(u""_qs), QString(u""_qs)), QStringLiteral(" / "));
    EXPECT_EQ(BuildSearchString(QStringLiteral("A"), QStringLiteral("B")), QStringLiteral("A / B"));
}

TEST(SearchString, DecomposeSplitsAtTheFirstSeparator) {
    QString artist, album;
    EXPECT_TRUE(DecomposeSearchString(QStringLiteral("AC/DC / Live / 1992"), &artist, &album));
    EXPECT_EQ(artist, QStringLiteral("AC/DC"));
    EXPECT_EQ(album, QStringLiteral("Live / 1992"));
    EXPECT_FALSE(DecomposeSearchString(QStringLiteral("AC/DC Live"), &artist, &album));
    EXPECT_TRUE(artist.isNull());
    EXPECT_TRUE(album.isNull());
    EXPECT_TRUE(DecomposeSearchString(QStringLiteral(" / "), &artist, &album));
    EXPECT_TRUE(artist.isEmpty() && album.isEmpty());
}
