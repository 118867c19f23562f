#include "text/SearchString.h"

#include "tags/CustomTag.h"

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

// Saved terms with no artist come back from the tag and still split, the
// way they were written and the way earlier versions read them back.
TEST(SearchString, TermsWithoutArtistSurviveTheCustomTag) {
    CustomTag tag;
    tag.setSavedSearchTerms(BuildSearchString(QString(u""_qs), QStringLiteral("Album")));
    const QString saved = CustomTag::fromString(tag.customTagToString()).savedSearchTerms();
    EXPECT_EQ(saved, QStringLiteral(" / Album"));
    for (const QString& terms : {saved, QStringLiteral("/ Album")}) {
        QString artist, album;
        EXPECT_TRUE(DecomposeSearchString(terms, &artist, &album)) << terms.toStdString();
        EXPECT_EQ(artist, QString(u""_qs));
        EXPECT_FALSE(artist.isNull());
        EXPECT_EQ(album, QStringLiteral("Album"));
    }
}
