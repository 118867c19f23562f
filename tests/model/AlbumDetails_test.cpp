#include "app/Preferences.h"
#include "model/AlbumDetailsArray.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "pictures/QtPictureCodec.h"

#include <gtest/gtest.h>

namespace {

AlbumDetails withTitles(const QStringList& titles) {
    AlbumDetails d;
    for (const QString& t : titles)
        d.addTitle(t, QString());
    return d;
}

// A record of a file that does not exist: no music file, tags set by hand.
AudioTrackRef track(const QString& path, int number, const QString& artist,
                    const QString& album = QString()) {
    auto t = std::make_shared<AudioTrack>(AudioTrack::initWithPath(path));
    t->setTags(TagValues::withTrack(number, 0), TagField::Track | TagField::TrackCount);
    t->setTags({.artist = artist}, TagField::Artist);
    t->setTags({.album = album}, TagField::Album);
    return t;
}

} // namespace

TEST(AlbumDetailsVote, MajorityIgnoresCaseAndLatestFirstSeenWinsTies) {
    struct Row {
        QStringList values;
        QString winner;
    } rows[] = {
        {{"A", "B", "a"}, "A"},
        {{"A", "B"}, "B"},
        // Repeats of one text and of its other cases count alike.
        {{"b", "b", "A", "a", "A", "A", "b"}, "A"},
        {{"x", "X", "x", "y", "y"}, "x"},
        {{"b", "A", "B", "a"}, "A"},
        {{QString(), "x", QString()}, "x"},
        {{}, QString()},
        {{QString()}, QString()},
        // Case as a comparison without regard to it folds it.
        {{"\u00b5-Ziq", "x", "\u03bc-ZIQ"}, "\u00b5-Ziq"},
        {{"\u039f\u0394\u039f\u03a3", "x", "\u03bf\u03b4\u03bf\u03c2"}, "\u039f\u0394\u039f\u03a3"},
        {{"stra\u00dfe", "STRASSE"}, "STRASSE"},
    };
    for (const Row& r : rows) {
        const QString got = AlbumDetails::majorityVote(r.values);
        EXPECT_EQ(got, r.winner) << r.values.join(u',').toStdString();
        EXPECT_EQ(got.isNull(), r.winner.isNull());
    }
}

TEST(AlbumDetailsTitles, EntriesAndMissingValues) {
    AlbumDetails d;
    EXPECT_EQ(d.numTracks(), 0);
    EXPECT_EQ(d.titleAtIndex(3), QStringLiteral(""));
    EXPECT_FALSE(d.titleAtIndex(3).isNull());
    EXPECT_TRUE(d.artistAtIndex(0).isNull());
    d.addTitle(QStringLiteral("One"), QString());
    d.addTitle(QStringLiteral("Two"), QStringLiteral("Guest"));
    EXPECT_FALSE(d.titleArray()[0].toMap().contains(QStringLiteral("artist")));
    EXPECT_EQ(d.artistAtIndex(1), QStringLiteral("Guest"));
    EXPECT_EQ(d.titleAtIndex(-1), QStringLiteral(""));

    d.appendTitlesFrom(d);
    EXPECT_EQ(d.numTracks(), 4);
    EXPECT_EQ(d.titleAtIndex(3), QStringLiteral("Two"));
}

TEST(AlbumDetailsTitles, BoxSetJoinCopiesFirstDisc) {
    AlbumDetailsArray discs;
    auto one = std::make_shared<AlbumDetails>(withTitles({"a", "b"}));
    one->setAlbum(QStringLiteral("Box"));
    discs.add(one);
    discs.add(std::make_shared<AlbumDetails>(withTitles({"c"})));
    AlbumDetailsPtr joined = discs.joinedDiscs();
    EXPECT_EQ(joined->numTracks(), 3);
    EXPECT_EQ(joined->album(), QStringLiteral("Box"));
    EXPECT_EQ(one->numTracks(), 2); // the first disc itself is untouched
    EXPECT_EQ(AlbumDetailsArray().joinedDiscs(), nullptr);
}

TEST(AlbumDetailsTitles, ClosestTitle) {
    EXPECT_EQ(AlbumDetails().indexOfClosestTitle(QStringLiteral("x")), 0);
    const AlbumDetails d = withTitles({"Intro", "Outro", "Song", "Song"});
    EXPECT_EQ(d.indexOfClosestTitle(QStringLiteral("Outro")), 1);
    EXPECT_EQ(d.indexOfClosestTitle(QStringLiteral("Song")), 2); // first of equals
    EXPECT_EQ(d.indexOfClosestTitle(QStringLiteral("qqq")), 0);
}

TEST(AlbumDetailsHits, AlbumHitCarriesTheRecord) {
    auto d = std::make_shared<AlbumDetails>();
    d->setArtist(QStringLiteral("Band"));
    d->setResultKey(QStringLiteral("#GNU:rock/0a0b0c0d"));
    AlbumInfoPtr h = AlbumInfo::fromDetails(*d);
    EXPECT_EQ(h->iadbCompareString(), QStringLiteral("Band / "));
    EXPECT_EQ(h->resultKey(), d->resultKey());
    EXPECT_EQ(h->albumDetails(), d);
    EXPECT_TRUE(h->album().isNull());
}

TEST(AlbumDetailsHits, SongHitsNumberEntriesFromOne) {
    AlbumDetails d = withTitles({"a", "b", "c"});
    d.setAlbum(QStringLiteral("LP"));
    d.setYear(QStringLiteral("1970"));
    auto hits = TrackInfoArray::fromDetails(d);
    ASSERT_EQ(hits->count(), 3);
    EXPECT_EQ(hits->trackAtIndex(1)->longTrack(), QStringLiteral("2/3"));
    EXPECT_EQ(hits->trackAtIndex(2)->title(), QStringLiteral("c"));
    EXPECT_EQ(hits->trackAtIndex(2)->album(), QStringLiteral("LP"));

    TrackInfo& song = *hits->trackAtIndex(0);
    song.scoreTrack(QStringLiteral("a"), 51);
    EXPECT_EQ(song.trackScore(), 100);
    EXPECT_EQ(song.totalScore(), 75);
}

TEST(AlbumDetailsHits, TrackDetailsToSongHit) {
    auto d = std::make_shared<TrackDetails>();
    d->addTitle(QStringLiteral("Song"), QString());
    d->setTrack(QStringLiteral("4"));
    d->setLongTrack(QStringLiteral("4/9"));
    auto h = TrackInfo::fromDetails(*d);
    EXPECT_EQ(h->title(), QStringLiteral("Song"));
    EXPECT_EQ(h->longTrack(), QStringLiteral("4/9"));
    EXPECT_TRUE(h->maxTrack().isNull());
    EXPECT_EQ(h->trackDetails(), d);
    // A record not held by a shared pointer is carried as a copy.
    TrackDetails local;
    EXPECT_NE(TrackInfo::fromDetails(local)->trackDetails(), nullptr);
}

class TagRecord : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }
};

TEST_F(TagRecord, VotesAndTitlesInTrackOrder) {
    AudioTrackArray tracks;
    tracks.add(track(QStringLiteral("/m/x/c.mp3"), 0, QStringLiteral("B"), QStringLiteral("LP")));
    tracks.add(track(QStringLiteral("/m/x/b.mp3"), 2, QStringLiteral("a"), QStringLiteral("LP")));
    tracks.add(track(QStringLiteral("/m/x/a.mp3"), 1, QStringLiteral("A")));
    auto d = AlbumDetails::AlbumDetailsFromTags(tracks, nullptr, false);
    EXPECT_EQ(d->resultKey(), QStringLiteral("#TAG:"));
    EXPECT_EQ(d->artist(), QStringLiteral("A")); // first seen in track order
    EXPECT_EQ(d->album(), QStringLiteral("LP"));
    EXPECT_FALSE(d->dict().contains(QStringLiteral("year")));
    ASSERT_EQ(d->numTracks(), 3);
    EXPECT_EQ(d->titleAtIndex(0), QStringLiteral("a")); // the name stands in
    EXPECT_EQ(d->artistAtIndex(1), QStringLiteral("a"));
    EXPECT_EQ(d->titleAtIndex(2), QStringLiteral("c")); // number 0 sorts last
    EXPECT_EQ(tracks.at(0)->getFileName(), QStringLiteral("c.mp3"));

    CustomTag tag;
    tag.setVariousArtist(QStringLiteral("various artists"));
    EXPECT_EQ(AlbumDetails::AlbumDetailsFromTags(tracks, &tag, false)->artist(),
              QStringLiteral("various artists"));
}

TEST_F(TagRecord, SongHitFromTrack) {
    auto t =
        track(QStringLiteral("/m/x/07 Song.mp3"), 7, QStringLiteral("Band"), QStringLiteral("LP"));
    t->setTags(TagValues::withTrack(7, 9), TagField::Track | TagField::TrackCount);
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    t->setImage(QtPictureCodec::fromImage(picture));
    auto h = TrackInfo::TrackInfoFromAudioTrack(*t, true);
    EXPECT_EQ(h->resultKey(), QStringLiteral("#TAG:"));
    EXPECT_EQ(h->iadbCompareString(), QStringLiteral("Band / LP"));
    EXPECT_EQ(h->longTrack(), QStringLiteral("7/9"));
    EXPECT_EQ(h->title(), t->getOldTitle());
    EXPECT_EQ(h->coverArtLocation(), QStringLiteral("TAG"));
    EXPECT_FALSE(h->coverArt().isNull());
    ASSERT_NE(h->trackDetails(), nullptr);
    EXPECT_EQ(h->trackDetails()->resultKey(), QStringLiteral("#TAG:"));
    EXPECT_EQ(h->trackDetails()->artistAtIndex(0), QStringLiteral("Band"));
    EXPECT_EQ(h->trackDetails()->maxTrack(), QStringLiteral("9"));
}

TEST_F(TagRecord, SmartCapitalizationLeavesYearAndAlbumTitlesAlone) {
    auto t = track(QStringLiteral("/m/x/the last song.mp3"), 1, QStringLiteral("the band"),
                   QStringLiteral("best of"));
    t->setTags({.year = QStringLiteral("nineteen")}, TagField::Year);
    t->setTags({.genre = QStringLiteral("rock")}, TagField::Genre);
    t->setTags({.title = QStringLiteral("the last song")}, TagField::Title);
    AudioTrackArray tracks;
    tracks.add(t);
    auto d = AlbumDetails::AlbumDetailsFromTags(tracks, nullptr, true);
    EXPECT_EQ(d->artist(), QStringLiteral("The Band"));
    EXPECT_EQ(d->album(), QStringLiteral("Best Of"));
    EXPECT_EQ(d->genre(), QStringLiteral("Rock"));
    EXPECT_EQ(d->year(), QStringLiteral("nineteen"));
    EXPECT_EQ(d->titleAtIndex(0), QStringLiteral("the last song"));
    // The one-song record capitalizes its title.
    auto song = TrackDetails::TrackDetailsFromTag(*t, nullptr, true);
    EXPECT_EQ(song->titleAtIndex(0), QStringLiteral("The Last Song"));
    EXPECT_EQ(song->year(), QStringLiteral("nineteen"));
}
