#include "model/AudioTrackArray.h"
#include "model/NameLayout.h"
#include "model/TrackDetails.h"
#include "support/AlbumTitles.h"

#include <gtest/gtest.h>

namespace {

const QString kMissing = QStringLiteral("(Missing track)");

AlbumDetailsPtr fromNames(const QStringList& names, const QString& folder = QStringLiteral("/m")) {
    return AlbumDetails::AlbumDetailsFromNames(names, folder);
}

} // namespace

TEST(NamesRecord, TitlesFromEachLayout) {
    struct Row {
        const char* what;
        QStringList names;
        QStringList titles;
    } rows[] = {
        {"word layout", {"01 Intro.mp3", "02 Outro.mp3"}, {"Intro", "Outro"}},
        {"word layout gap", {"01 Intro", "03 Outro"}, {"Intro", kMissing}},
        {"word layout order and duplicates", {"2 B", "1 A", "2 C"}, {"A", "C", kMissing}},
        {"numeric first word wins over parts",
         {"01 - Intro", "02 - Outro"},
         {"- Intro", "- Outro"}},
        {"number at 1 of two", {"Intro - 01", "Outro - 02"}, {"Intro ", "Outro "}},
        {"title keeps hyphens",
         {"01-Intro", "02-Outro", "03-Song-Part 2"},
         {"Intro", "Outro", "Song-Part 2"}},
        {"album, number, title", {"Best Of-01-Intro", "Best Of-02-Outro"}, {"Intro", "Outro"}},
        {"no number", {"Artist-Title", "Artist-Other"}, {kMissing, kMissing}},
        {"one part", {"Intro", "Outro"}, {kMissing, kMissing}},
        {"four parts", {"Band-LP-1-A", "Band-LP-2-B-side"}, {"A", "B-side"}},
    };
    for (const Row& r : rows) {
        auto d = fromNames(r.names);
        EXPECT_EQ(d->resultKey(), QStringLiteral("#FILES:")) << r.what;
        EXPECT_EQ(titlesOf(*d), r.titles) << r.what;
    }
}

TEST(NamesRecord, ArtistAndAlbumFromTheFirstName) {
    auto d = fromNames({"Best Of-01-Intro", "Best Of-02-Outro"});
    EXPECT_EQ(d->album(), QStringLiteral("Best Of"));
    EXPECT_TRUE(d->artistAtIndex(0).isNull());

    d = fromNames({"Artist-Title", "Artist-Other"});
    EXPECT_EQ(d->artist(), QStringLiteral("Artist"));

    d = fromNames({"01-Band-LP-A", "02-Guest-LP-B"});
    EXPECT_EQ(d->artist(), QStringLiteral("Band"));
    EXPECT_EQ(d->album(), QStringLiteral("LP"));
    EXPECT_EQ(d->artistAtIndex(1), QStringLiteral("Guest"));
}

TEST(NamesRecord, NamesThatDoNotFitContributeNothing) {
    // Two-part layout with the number at position 2: no title position.
    auto d = fromNames({"p-q", "r-s", "t-u", "x-y-1", "z-w-2"});
    EXPECT_EQ(titlesOf(*d), QStringList(5, kMissing));
    EXPECT_TRUE(d->artist().isNull() || d->artist() == QStringLiteral("m"));
    // Three-part layout with the number at position 3.
    d = fromNames({"a-b-c", "d-e-f", "g-h-i", "j-k-l-1", "m-n-o-2"});
    EXPECT_EQ(titlesOf(*d), QStringList(5, kMissing));
    // Four-part layout, number at 0: a short name is skipped, even first.
    d = fromNames({"03-short", "04-x-y", "01-Band-LP-A", "02-Band-LP-B"}, QString());
    EXPECT_EQ(titlesOf(*d), (QStringList{"A", "B", kMissing, kMissing}));
    EXPECT_TRUE(d->artist().isNull());
    EXPECT_TRUE(d->album().isNull());
}

TEST(NamesRecord, OddNamesDoNotBreakIt) {
    EXPECT_EQ(fromNames({})->numTracks(), 0);
    EXPECT_EQ(titlesOf(*fromNames({QString(), QStringLiteral("")})),
              (QStringList{kMissing, kMissing}));
    EXPECT_EQ(titlesOf(*fromNames({"99999999999 Big", "-1 Neg"})),
              (QStringList{kMissing, kMissing}));
    EXPECT_EQ(titlesOf(*fromNames({"-", "--", "---", "----", "-----"})), QStringList(5, kMissing));
    EXPECT_EQ(titlesOf(*fromNames({"1 Vol. 2"})), (QStringList{"Vol. 2"}));
}

TEST(NamesFolderRule, YearArtistAlbumFromFolders) {
    struct Row {
        QString folder, year, artist, album;
    } rows[] = {
        {"/m/Band/1999-Best Of", "1999", "Band", "Best Of"},
        {"/m/Band/Band-1999-Best Of", "1999", "Band", "Best Of"},
        {"/m/x/1999-Band-Best Of", "1999", "Band", "Best Of"},
        {"/m/x/Band-Best Of-1999", "1999", "Band", "Best Of"},
        {"/m/x/Band-Best Of-Live", QString(), "Band", "Best Of"},
        {"/m/Band/Best Of", QString(), "Band", "Best Of"},
        {"/m/Band/Best Of/", QString(), "Band", "Best Of"},
        {"/m/x/Band-Best Of", QString(), "Band", "Best Of"},
        {"/m/x/1800-Best Of", QString(), "1800", "Best Of"},
        {"/m/x/a-b-c-d", QString(), QString(), QString()},
        {"/Solo", QString(), QString(), "Solo"},
        {"", QString(), QString(), QString()},
    };
    for (const Row& r : rows) {
        AlbumDetails d;
        d.setArtistAlbumFromFolderPath(r.folder);
        EXPECT_EQ(d.year(), r.year) << r.folder.toStdString();
        EXPECT_EQ(d.artist(), r.artist) << r.folder.toStdString();
        EXPECT_EQ(d.album(), r.album) << r.folder.toStdString();
    }
}

TEST(NamesFolderRule, FillsOnlyMissingButAlwaysSetsYear) {
    AlbumDetails d;
    d.setArtist(QStringLiteral("Tagged"));
    d.setYear(QStringLiteral("2001"));
    d.setArtistAlbumFromFolderPath(QStringLiteral("/m/Band/1999-Best Of"));
    EXPECT_EQ(d.artist(), QStringLiteral("Tagged"));
    EXPECT_EQ(d.album(), QStringLiteral("Best Of"));
    EXPECT_EQ(d.year(), QStringLiteral("1999"));

    auto names = fromNames({"Artist-Title"}, QStringLiteral("/m/Band/1999-Best Of"));
    EXPECT_EQ(names->artist(), QStringLiteral("Artist"));
    EXPECT_EQ(names->album(), QStringLiteral("Best Of"));
}

TEST(NamesSong, OneFileRecord) {
    struct Row {
        QString name, title, artist, album, track;
    } rows[] = {
        {"07 Song.mp3", "Song", QString(), "x", "7"},
        {"0 Song", "Song", QString(), "x", QString()},
        {"Band-07-Song", "Song", QString(), "Band", "7"},
        {"Band-LP-03-Song-Live", "Song-Live", "Band", "LP", "3"},
        {"Band-Song", QString(), "Band", "x", QString()},
        {"Song", QString(), "p", "x", QString()},
        {"x-y-z-1", "z", "x", "y", "1"},
    };
    for (const Row& r : rows) {
        auto d = TrackDetails::TrackDetailsFromName(r.name, QStringLiteral("/m/p/x"));
        EXPECT_EQ(d->resultKey(), QStringLiteral("#FILES:"));
        EXPECT_EQ(d->numTracks(), r.title.isNull() ? 0 : 1) << r.name.toStdString();
        if (!r.title.isNull()) {
            EXPECT_EQ(d->titleAtIndex(0), r.title) << r.name.toStdString();
        }
        EXPECT_EQ(d->artist(), r.artist.isNull() ? QStringLiteral("p") : r.artist)
            << r.name.toStdString();
        EXPECT_EQ(d->album(), r.album) << r.name.toStdString();
        EXPECT_EQ(d->track(), r.track) << r.name.toStdString();
    }
}

TEST(NamesFromTracks, UsesDisplayNamesAndFirstFolder) {
    AudioTrackArray tracks;
    for (const char* p : {"/m/Band/1999-Best Of/02 Outro.mp3", "/m/Band/1999-Best Of/01 Intro.mp3"})
        tracks.add(std::make_shared<AudioTrack>(AudioTrack::initWithPath(QString::fromUtf8(p))));
    auto d = AlbumDetails::AlbumDetailsFromFiles(tracks);
    EXPECT_EQ(titlesOf(*d), (QStringList{"Intro", "Outro"}));
    EXPECT_EQ(d->artist(), QStringLiteral("Band"));
    EXPECT_EQ(d->year(), QStringLiteral("1999"));
    auto song = TrackDetails::TrackDetailsFromFile(*tracks.at(0));
    EXPECT_EQ(song->track(), QStringLiteral("2"));
    EXPECT_EQ(song->album(), QStringLiteral("Best Of"));
    EXPECT_EQ(AlbumDetails::AlbumDetailsFromFiles(AudioTrackArray())->numTracks(), 0);
}
