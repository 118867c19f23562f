// The MusicBrainz parsers on captured answers under tests/data/musicbrainz,
// and on hostile ones.
#include "web/sources/musicbrainz/MusicBrainz.h"
#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include "model/AlbumDetails.h"
#include "support/AlbumTitles.h"
#include "support/CapturedData.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

TEST(MusicBrainzParser, SearchGivesOneHitPerMediumWithItsTrackCount) {
    const struct {
        const char* file;
        QString key, artist, album, year;
        int tracks;
    } expected[] = {
        // The release without a title is dropped.
        {"search.json", "#MB:5e1e0000-0000-4000-8000-000000000001", "The Demo Band", "Silent Songs",
         "2024", 5},
        {"search.json", "#MB:5e1e0000-0000-4000-8000-000000000002/1", "The Demo Band",
         "Silent Songs (Disc 1)", "2024", 2},
        {"search.json", "#MB:5e1e0000-0000-4000-8000-000000000002/2", "The Demo Band",
         "Silent Songs (Disc 2)", "2024", 1},
        {"search-compilation.json", "#MB:5e1e0000-0000-4000-8000-000000000005/1", "Various Artists",
         "Sunday Songs (Disc 1)", "2003", 2},
        {"search-compilation.json", "#MB:5e1e0000-0000-4000-8000-000000000005/2", "Various Artists",
         "Sunday Songs (Disc 2)", "2003", 2},
        // No credit is no artist, not an empty one.
        {"search-compilation.json", "#MB:5e1e0000-0000-4000-8000-000000000007", QString(),
         "Nameless", "2010", 1},
    };
    QList<AlbumInfoPtr> hits;
    for (const char* file : {"search.json", "search-compilation.json"}) {
        const auto result = MusicBrainzParser::parseSearch(capturedMusicBrainz(file));
        ASSERT_TRUE(result.error.isNull()) << result.error.toStdString();
        hits += result.hits;
    }
    ASSERT_EQ(hits.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        SCOPED_TRACE(e.key.toStdString());
        EXPECT_EQ(hits[i]->resultKey(), e.key);
        EXPECT_EQ(hits[i]->artist(), e.artist);
        EXPECT_EQ(hits[i]->artist().isNull(), e.artist.isNull());
        EXPECT_EQ(hits[i]->album(), e.album);
        EXPECT_EQ(hits[i]->year(), e.year);
        EXPECT_EQ(hits[i]->trackCount(), e.tracks);
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
        const auto result = MusicBrainzParser::parseRelease(capturedMusicBrainz(c.file), c.disc);
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
    EXPECT_TRUE(MusicBrainzParser::parseRelease(capturedMusicBrainz("release.json"), 0).frontCover);
    EXPECT_FALSE(MusicBrainzParser::parseRelease(capturedMusicBrainz("release-two-discs.json"), 1)
                     .frontCover);
}

// Identifiers as the captured answers spell them: a<n> an artist, t<n> a
// track, r<n> a recording.
QString mbidOf(char kind, int n) {
    static const QHash<char, QString> prefixes = {
        {'a', "a0000000"}, {'t', "70000000"}, {'r', "60000000"}};
    return prefixes.value(kind) + QStringLiteral("-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
}
QString artistIds(std::initializer_list<int> ns) {
    QStringList ids;
    for (int n : ns)
        ids << mbidOf('a', n);
    return ids.join(u'/');
}

TEST(MusicBrainzParser, ReleasesCarryCreditsDiscsAndIdentifiers) {
    const QString va = MusicBrainzParser::kVariousArtistsId;
    struct Track {
        QString title, artist, disc; // artist null: the album's; disc "n/m", or null
        int id;                      // track t<id>, recording r<id + 100>
        QString artistIds;
    };
    const struct {
        const char* file;
        int disc;
        bool compilation;
        QString artist, release, group, albumArtistIds;
        QList<Track> tracks;
    } cases[] = {
        // Pregap and data tracks are no tracks to match.
        {"release-compilation-two-discs.json",
         2,
         true,
         "Various Artists",
         "5e1e0000-0000-4000-8000-000000000005",
         "9e000000-0000-4000-8000-000000000005",
         va,
         {{"Evening Tide", "Gil Nunes", "2/2", 105, artistIds({14})},
          {"Last Song", "Dora Lima & Edu Souza", "2/2", 106, artistIds({11, 12})}}},
        {"release-compilation-two-discs.json",
         0,
         true,
         "Various Artists",
         "5e1e0000-0000-4000-8000-000000000005",
         "9e000000-0000-4000-8000-000000000005",
         va,
         {{"Morning Bell", "Dora Lima", "1/2", 101, artistIds({11})},
          {"Two Voices", "Edu Souza feat. Flora Reis", "1/2", 102, artistIds({12, 13})},
          {"Evening Tide", "Gil Nunes", "2/2", 105, artistIds({14})},
          {"Last Song", "Dora Lima & Edu Souza", "2/2", 106, artistIds({11, 12})}}},
        {"release-featured-artists.json",
         0,
         false,
         "Jay / Kay & Linked Park",
         "5e1e0000-0000-4000-8000-000000000006",
         "9e000000-0000-4000-8000-000000000006",
         artistIds({21, 22}),
         {{"Together", QString(), QString(), 111, artistIds({21, 22})},
          {"Guest Spot", "Jay / Kay feat. Mo", QString(), 112, artistIds({21, 23})}}},
        // Every identifier is named, present or not.
        {"release-no-credit.json",
         0,
         false,
         QString(),
         "5e1e0000-0000-4000-8000-000000000007",
         "",
         "",
         {{"Only Track", QString(), QString(), 121, ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 disc %2").arg(c.file).arg(c.disc).toStdString());
        const auto result = MusicBrainzParser::parseRelease(capturedMusicBrainz(c.file), c.disc);
        ASSERT_TRUE(result.details) << result.error.toStdString();
        const AlbumDetails& d = *result.details;
        EXPECT_EQ(d.isCompilation(), c.compilation);
        EXPECT_EQ(d.artist(), c.artist);
        EXPECT_EQ(d.artist().isNull(), c.artist.isNull());
        TagFields albumFields;
        const TagValues album = d.albumTags(&albumFields);
        EXPECT_EQ(albumFields, TagValues::kAlbumIds);
        EXPECT_EQ(album.mbReleaseId, c.release);
        EXPECT_EQ(album.mbReleaseGroupId, c.group);
        EXPECT_EQ(album.mbAlbumArtistId, c.albumArtistIds);
        ASSERT_EQ(d.numTracks(), c.tracks.size());
        for (int i = 0; i < d.numTracks(); ++i) {
            const Track& t = c.tracks[i];
            SCOPED_TRACE(t.title.toStdString());
            EXPECT_EQ(d.titleAtIndex(i), t.title);
            EXPECT_EQ(d.artistAtIndex(i), t.artist);
            TagFields given;
            const TagValues tags = d.tagsAtIndex(i, &given);
            EXPECT_EQ(given.testFlag(TagField::Disc), !t.disc.isNull());
            if (!t.disc.isNull()) {
                EXPECT_EQ(tags.disc + u'/' + tags.discCount, t.disc);
            }
            EXPECT_EQ(tags.mbReleaseTrackId, mbidOf('t', t.id));
            EXPECT_EQ(tags.mbRecordingId, mbidOf('r', t.id + 100));
            EXPECT_EQ(tags.mbArtistId, t.artistIds);
        }
    }
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
        {"malformed", capturedMusicBrainz("malformed.json"), "not JSON"},
        {"wrong type", capturedMusicBrainz("wrong-type.json"), "not an array"},
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
    EXPECT_FALSE(
        MusicBrainzParser::parseRelease(capturedMusicBrainz("release-two-discs.json"), 3).details);
    // An identifier with a line end behind it would add a line to the custom
    // tag that stores the key: the release is refused, and a file's tag
    // holding one names no release.
    const QByteArray id = "5e1e0000-0000-4000-8000-000000000004";
    EXPECT_FALSE(MusicBrainzParser::parseRelease("{\"id\": \"" + id + "\\n\", \"title\": \"t\"}", 0)
                     .details);
    EXPECT_TRUE(
        MusicBrainzParser::parseRelease("{\"id\": \"" + id + "\", \"title\": \"t\"}", 0).details);
    EXPECT_FALSE(
        MusicBrainzParser::splitKey(MusicBrainzParser::makeKey(QString::fromLatin1(id + "\n"), 0)));
}

TEST(MusicBrainzQuery, ArtistAndAlbumBecomeAnEscapedLuceneQuery) {
    const struct {
        SearchTerms terms;
        QString query;
    } cases[] = {
        // The fields' own composition is not split: " / " is part of a name.
        {SearchTerms::fromFields("Jay / Kay", "Collision / Course"),
         "release:(Collision \\/ Course) AND artist:(Jay \\/ Kay)"},
        {SearchTerms::fromFields("Various Artists", "Hits"), "release:(Hits)"},
        {SearchTerms::fromFields(QString(), "Only A Title"), "release:(Only A Title)"},
        // Typed terms are split at the first " / ".
        {SearchTerms{"The Demo Band / Silent Songs"},
         "release:(Silent Songs) AND artist:(The Demo Band)"},
        {SearchTerms{"AC/DC / Back in Black"}, "release:(Back in Black) AND artist:(AC\\/DC)"},
        {SearchTerms{"A+B / (What?) [Live] {1} ^2 \"x\" ~y *z !w: a&&b || c \\ d - e"},
         "release:(\\(What\\?\\) \\[Live\\] \\{1\\} \\^2 \\\"x\\\" \\~y \\*z \\!w\\: "
         "a\\&\\&b \\|\\| c \\\\ d \\- e) AND artist:(A\\+B)"},
        // Compilations are searched by title alone.
        {SearchTerms{"Various Artists / Hits"}, "release:(Hits)"},
        {SearchTerms{"Only A Title"}, "release:(Only A Title)"},
        {SearchTerms{""}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.terms.text.toStdString());
        EXPECT_EQ(MusicBrainz::searchQuery(c.terms), c.query);
    }
}

} // namespace
