// Matching files to a hit's titles by track length, and a look-up with every
// source on and no network.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "support/AlbumFolderFixture.h"
#include "support/SourceTestKit.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <gtest/gtest.h>

namespace {

// A folder ripped badly: titles say nothing, and the track numbers run in
// file order while the lengths show the real order.
TEST(FolderLookupLengths, TitlesFollowTheLengthsOfShuffledFiles) {
    AlbumFolderFixture folder;
    const int seconds[] = {40, 10, 70, 25};
    for (int i = 0; i < 4; ++i) {
        FixtureTrack t;
        t.fileName = QStringLiteral("0%1 file.mp3").arg(i + 1);
        t.title = QStringLiteral("Track %1").arg(i + 1);
        t.artist = QStringLiteral("Band");
        t.album = QStringLiteral("Record");
        t.track = i + 1;
        t.seconds = seconds[i];
        ASSERT_TRUE(folder.add(t));
    }
    Prefs::setOverride(Prefs::kSmartCapitalization, false);
    Prefs::setOverride(Prefs::kSearchForCoverArt, false);
    for (const char* key :
         {MusicBrainz::kSearchKey, GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey})
        Prefs::setOverride(key, false);
    Prefs::setOverride(AllMusicGuide::kSearchKey, true);

    LookupSources sources;
    sources.albumSearches[QStringLiteral("All Music Guide")] =
        [](AlbumInfoArray& hits, const QString&, const std::optional<ScoreWeights>& w,
           const SourceOptions&, ProgressIndicator*) {
            auto details = std::make_shared<AlbumDetails>();
            details->setArtist(QStringLiteral("Band"));
            details->setAlbum(QStringLiteral("Record"));
            details->setResultKey(QStringLiteral("#MB:x"));
            const std::pair<const char*, int> titles[] = {
                {"Short", 10500}, {"Middle", 24000}, {"Long", 41000}, {"Longest", 69000}};
            for (const auto& [title, ms] : titles)
                details->addTitle(QString::fromLatin1(title), QString(), ms);
            auto hit = AlbumInfo::fromDetails(*details);
            hit->setYear(QStringLiteral("1999"));
            hits.addSorted(hit, w, 0);
        };
    sources.details = [](const AlbumInfo& hit, const SourceOptions&, ProgressIndicator*) {
        return hit.albumDetails();
    };

    HeadlessHost host;
    TrovixDocument doc(&host);
    doc.setSources(sources);
    doc.setDocumentPath(folder.path(), false);
    doc.waitUntilIdle();
    int row = 0;
    for (const AlbumInfoPtr& hit : *doc.hitTable().albumArray()) {
        if (hit->resultKey() == QLatin1String("#MB:x")) break;
        ++row;
    }
    doc.applier().forceSelectOfAlbum(row);
    Prefs::clearOverrides();

    QStringList pairs;
    for (const AudioTrackRef& t : doc.trackArray())
        pairs << t->getFileName() + QStringLiteral(" = ") + t->getNewTitle();
    EXPECT_EQ(pairs, (QStringList{"02 file.mp3 = Short", "04 file.mp3 = Middle",
                                  "01 file.mp3 = Long", "03 file.mp3 = Longest"}));
}

// Every source points at its own dead address: each is tried once, and the
// look-up ends without waiting out any time limit (the figure is printed by
// bench/offline_lookup_bench).
TEST(FolderLookupOffline, EachDeadSourceIsTriedOnceAndTheLookUpEnds) {
    AlbumFolderFixture folder;
    FixtureTrack t;
    t.fileName = QStringLiteral("01 one.mp3");
    t.title = QStringLiteral("One");
    t.artist = QStringLiteral("Band");
    t.album = QStringLiteral("Record");
    ASSERT_TRUE(folder.add(t));
    // Five loopback hosts on the discard port, where nothing listens.
    const char* bases[] = {MusicBrainz::kBaseURLKey, AllMusicGuide::kBaseURLKey,
                           GoogleMusic::kBaseURLKey, Gnudb::kBaseURLKey, FreeDB::kBaseURLKey};
    int host = 1;
    for (const char* key : bases)
        Prefs::setOverride(key, QStringLiteral("http://127.0.0.%1:9").arg(host++));
    for (const char* key : {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey,
                            GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey})
        Prefs::setOverride(key, true);
    Prefs::setOverride(Prefs::kSearchForCoverArt, true);

    LogCapture log;
    HeadlessHost headless;
    TrovixDocument doc(&headless);
    doc.setDocumentPath(folder.path(), false);
    doc.waitUntilIdle();
    Prefs::clearOverrides();

    EXPECT_TRUE(doc.isIdle());
    int refused = 0;
    for (const QString& line : log.lines())
        if (line.contains(QLatin1String("GrabWebPage error 5"))) ++refused;
    EXPECT_EQ(refused, 5);
    EXPECT_TRUE(log.contains(QStringLiteral("is down, skipped")));
}

} // namespace
