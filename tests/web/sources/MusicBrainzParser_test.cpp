// The MusicBrainz parsers on captured answers under tests/data/musicbrainz,
// and on hostile ones.
#include "web/sources/musicbrainz/MusicBrainz.h"
#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include "model/AlbumDetails.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray captured(const char* name) {
    QFile file(QStringLiteral(TROVIX_TEST_DATA_DIR "/musicbrainz/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList titlesOf(const AlbumDetails& details) {
    QStringList titles;
    for (int i = 0; i < details.numTracks(); ++i)
        titles << details.titleAtIndex(i);
    return titles;
}

TEST(MusicBrainzParser, SearchGivesOneHitPerMediumWithItsTrackCount) {
    const auto result = MusicBrainzParser::parseSearch(captured("search.json"));
    ASSERT_TRUE(result.error.isNull()) << result.error.toStdString();
    // The release without a title is dropped.
    ASSERT_EQ(result.hits.size(), 3);
    const struct {
        QString key, album, year;
        int tracks;
    } expected[] = {
        {"#MB:5e1e0000-0000-4000-8000-000000000001", "Silent Songs", "2024", 5},
        {"#MB:5e1e0000-0000-4000-8000-000000000002/1", "Silent Songs (Disc 1)", "2024", 2},
        {"#MB:5e1e0000-0000-4000-8000-000000000002/2", "Silent Songs (Disc 2)", "2024", 1},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(result.hits[i]->resultKey(), expected[i].key);
        EXPECT_EQ(result.hits[i]->artist(), QStringLiteral("The Demo Band"));
        EXPECT_EQ(result.hits[i]->album(), expected[i].album);
        EXPECT_EQ(result.hits[i]->year(), expected[i].year);
        EXPECT_EQ(result.hits[i]->trackCount(), expected[i].tracks);
    }
}

TEST(MusicBrainzParser, ReleasesMapToAlbumDetails) {
    const struct {
        const char* file;
        int disc;
        QString key, artist, album, year, genre;
        QStringList titles;
        QStringList trackArtists;
        std::optional<int> firstLength;
    } cases[] = {
        {"release.json",
         0,
         "#MB:5e1e0000-0000-4000-8000-000000000001",
         "The Demo Band",
         "Silent Songs",
         "2024",
         "indie pop",
         {"First Light", "Second Wind", "Quiet Hours", "The Long Way Home", "Closing Time"},
         {"", "", "", "", ""},
         2000},
        {"release-two-discs.json",
         2,
         "#MB:5e1e0000-0000-4000-8000-000000000002/2",
         "The Demo Band",
         "Silent Songs (Disc 2)",
         "2024",
         "rock",
         {"Disc Two Opener"},
         {""},
         63000},
        {"release-two-discs.json",
         0,
         "#MB:5e1e0000-0000-4000-8000-000000000002",
         "The Demo Band",
         "Silent Songs",
         "2024",
         "rock",
         {"Disc One Opener", "Disc One Closer", "Disc Two Opener"},
         {"", "", ""},
         61000},
        // No genres of its own and no date: the release group's.
        {"release-no-genres-empty-date.json",
         0,
         "#MB:5e1e0000-0000-4000-8000-000000000003",
         "The Demo Band",
         "Old Tunes",
         "1999",
         "jazz",
         {"Untimed"},
         {""},
         std::nullopt},
        {"release-va.json",
         0,
         "#MB:5e1e0000-0000-4000-8000-000000000004",
         "Various Artists",
         "Hits & Misses",
         "2001",
         "",
         {"Duet", "Solo"},
         {"Anna feat. Ben", "Cleo"},
         180000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto result = MusicBrainzParser::parseRelease(captured(c.file), c.disc);
        ASSERT_TRUE(result.details) << result.error.toStdString();
        const AlbumDetails& d = *result.details;
        EXPECT_EQ(d.resultKey(), c.key);
        EXPECT_EQ(d.artist(), c.artist);
        EXPECT_EQ(d.album(), c.album);
        EXPECT_EQ(d.year(), c.year);
        EXPECT_EQ(d.genre(), c.genre);
        EXPECT_EQ(titlesOf(d), c.titles);
        for (int i = 0; i < c.trackArtists.size(); ++i)
            EXPECT_EQ(d.artistAtIndex(i).isNull() ? QString() : d.artistAtIndex(i),
                      c.trackArtists[i].isEmpty() ? QString() : c.trackArtists[i]);
        EXPECT_EQ(d.lengthAtIndex(0), c.firstLength);
    }
    EXPECT_TRUE(MusicBrainzParser::parseRelease(captured("release.json"), 0).frontCover);
    EXPECT_FALSE(MusicBrainzParser::parseRelease(captured("release-two-discs.json"), 1).frontCover);
}

TEST(MusicBrainzParser, HostileAnswersFailWithAReason) {
    QByteArray huge = "{\"releases\": [";
    for (int i = 0; i < 200000; ++i)
        huge += "{\"id\":\"x\",\"title\":\"t\"},";
    huge += "{}]}";
    const struct {
        const char* name;
        QByteArray json;
        const char* reason;
    } cases[] = {
        {"malformed", captured("malformed.json"), "not JSON"},
        {"wrong type", captured("wrong-type.json"), "not an array"},
        {"huge array", huge, "more than"},
        {"not an object", "[1, 2]", "not a JSON object"},
        {"empty", "", "not JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto search = MusicBrainzParser::parseSearch(c.json);
        EXPECT_TRUE(search.hits.isEmpty());
        EXPECT_TRUE(search.error.contains(QLatin1String(c.reason))) << search.error.toStdString();
        const auto release = MusicBrainzParser::parseRelease(c.json, 0);
        EXPECT_FALSE(release.details);
        EXPECT_FALSE(release.error.isEmpty());
    }
    // A disc the release does not have.
    EXPECT_FALSE(MusicBrainzParser::parseRelease(captured("release-two-discs.json"), 3).details);
}

TEST(MusicBrainzQuery, ArtistAndAlbumBecomeAnEscapedLuceneQuery) {
    const struct {
        QString terms, query;
    } cases[] = {
        {"The Demo Band / Silent Songs", "release:(Silent Songs) AND artist:(The Demo Band)"},
        {"AC/DC / Back in Black", "release:(Back in Black) AND artist:(AC\\/DC)"},
        {"A+B / (What?) [Live] {1} ^2 \"x\" ~y *z !w: a&&b || c \\ d - e",
         "release:(\\(What\\?\\) \\[Live\\] \\{1\\} \\^2 \\\"x\\\" \\~y \\*z \\!w\\: "
         "a\\&\\&b \\|\\| c \\\\ d \\- e) AND artist:(A\\+B)"},
        // Compilations are searched by title alone.
        {"Various Artists / Hits", "release:(Hits)"},
        {"Only A Title", "release:(Only A Title)"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.terms.toStdString());
        EXPECT_EQ(MusicBrainz::searchQuery(c.terms), c.query);
    }
}

} // namespace
