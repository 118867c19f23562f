#include "web/sources/ResultKeys.h"

#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "support/SourceTestKit.h"
#include "tags/CustomTag.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/googlemusic/GoogleMusic.h"

namespace {

const char* kRecord =
    "DTITLE=Björk / Homogenic\nDYEAR=1997\nDGENRE=Alternative\nTTITLE0=Hunter\nTTITLE1=Jóga\n";

const ScoreWeights kWeights = {
    AlbumInfo::scoreWeightEntry(QStringLiteral("IADBSearchString"),
                                QString::fromUtf8("Björk / Homogenic"), 100),
};

class ResultKeysTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        // Every source's detail page, told apart by path.
        fServer.serve("/freedb/rock/0a0b0c0d", kRecord, "text/plain");
        fServer.serve("/gnudb/rock/0a0b0c0d", kRecord, "text/plain");
        fServer.serve("/musicl",
                      "<font size=-1>Artist:</font><font size=-1>Björk</font>"
                      "<b>Tracks</b><table><tr><td>1.</td><td><a>Hunter</a></td></tr></table>");
        fServer.serve("/cg/amg.dll", "<span>Artist</span><a>Björk</a>");
    }

    static AlbumInfo hitWithKey(const QString& key) {
        AlbumInfo hit;
        hit.setResultKey(key);
        return hit;
    }
};

TEST_F(ResultKeysTest, DetailsAreFetchedFromTheSourceTheKeyNames) {
    struct Row {
        QString key;
        std::string request; // empty: nothing is fetched
        int details;         // 1 some, 0 none, -1 either
    } rows[] = {
        {QStringLiteral("#AMG:10:homogenic"), "/cg/amg.dll?p=amg&token=&sql=10:homogenic", 1},
        {QStringLiteral("#GOOG:lid=1&aid=h"), "/musicl?lid=1&aid=h", 1},
        {QStringLiteral("#GNU:rock/0a0b0c0d"), "/gnudb/rock/0a0b0c0d", 1},
        {QStringLiteral("rock/0a0b0c0d"), "/freedb/rock/0a0b0c0d", 1},
        // Prefixes are matched with regard to case: this one falls to FreeDB,
        // whose key shape it lacks, so nothing is fetched.
        {QStringLiteral("#amg:10:homogenic"), "", 0},
        {QStringLiteral("#AMZN:B000002LRT"), "", 0},
        {QString(), "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key.toStdString());
        fServer.clearRequests();
        const auto details = ResultKeys::AlbumDetailsFromAlbumInfo(hitWithKey(row.key),
                                                                   Prefs::sourceOptions(), nullptr);
        if (row.details >= 0) {
            EXPECT_EQ(bool(details), bool(row.details));
        }
        if (details) {
            EXPECT_EQ(details->resultKey(), row.key);
        }
        EXPECT_EQ(targets(), row.request.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{row.request});
    }
}

TEST_F(ResultKeysTest, LocalHitsAnswerTheirOwnDetails) {
    for (const QString& key : {QStringLiteral("#TAG:"), QStringLiteral("#FILES:")}) {
        AlbumInfo hit = hitWithKey(key);
        auto attached = std::make_shared<AlbumDetails>();
        attached->setResultKey(key);
        hit.setAlbumDetails(attached);
        EXPECT_EQ(ResultKeys::AlbumDetailsFromAlbumInfo(hit, Prefs::sourceOptions(), nullptr),
                  attached);

        TrackInfo song;
        song.setResultKey(key);
        auto songDetails = std::make_shared<TrackDetails>();
        song.setTrackDetails(songDetails);
        EXPECT_EQ(ResultKeys::TrackDetailsFromTrackInfo(song, Prefs::sourceOptions(), nullptr),
                  songDetails);
    }
    EXPECT_TRUE(targets().empty());
}

TEST_F(ResultKeysTest, SongDetailsAreTheSongsAlbum) {
    TrackInfo song;
    song.setResultKey(QStringLiteral("#GNU:rock/0a0b0c0d"));
    const auto details =
        ResultKeys::TrackDetailsFromTrackInfo(song, Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->album(), QStringLiteral("Homogenic"));
    EXPECT_EQ(details->numTracks(), 2);
    EXPECT_EQ(details->indexOfClosestTitle(QString::fromUtf8("Jóga")), 1);
}

TEST_F(ResultKeysTest, SavedSearchesRunTheSourceOfTheirKey) {
    fServer.serve("/musicsearch", "<html>no albums</html>");
    fServer.handle("/search/.*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html>no discs</html>", "text/html");
    });
    struct Row {
        QString key;
        QString terms;
        std::string request;
    } rows[] = {
        {QStringLiteral("#AMG:10:h"), QString::fromUtf8("Björk / Homogenic"),
         "/cg/amg.dll?SQL=Homogenic&OPT1=2&Submit=Go&P=amg"},
        {QStringLiteral("#GOOG:lid=1"), QString::fromUtf8("Björk / Homogenic"),
         "/musicsearch?q=Homogenic&res=album"},
        {QStringLiteral("#GNU:rock/0a0b0c0d"), QStringLiteral("Bjork / Homogenic"),
         "/search/Bjork%20/%20Homogenic"},
        {QStringLiteral("rock/0a0b0c0d"), QStringLiteral("Bjork / Homogenic"), ""},
        {QStringLiteral("#amg:10:h"), QStringLiteral("Bjork / Homogenic"), ""},
        {QStringLiteral("#AMZN:B0"), QStringLiteral("Bjork / Homogenic"), ""},
        {QStringLiteral("#TAG:"), QStringLiteral("Bjork / Homogenic"), ""},
        {QStringLiteral("#AMG:10:h"), QStringLiteral(""), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key.toStdString());
        fServer.clearRequests();
        CustomTag tag;
        tag.setResultKey(row.key);
        tag.setSavedSearchTerms(row.terms);
        AlbumInfoArray hits;
        RecordingProgress progress;
        ResultKeys::addAlbumHitsFromCustomTag(hits, &tag, kWeights, Prefs::sourceOptions(),
                                              &progress);
        EXPECT_EQ(progress.captions().value(0), QStringLiteral("Re-running saved search..."));
        EXPECT_EQ(targets(), row.request.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{row.request});
    }
    AlbumInfoArray hits;
    ResultKeys::addAlbumHitsFromCustomTag(hits, nullptr, kWeights, Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(hits.count(), 0);
}

TEST_F(ResultKeysTest, SavedSongSearches) {
    fServer.serve("/musicsearch", "<html>no songs</html>");
    struct Row {
        QString key;
        std::string request;
    } rows[] = {
        {QStringLiteral("#AMG:10:h"), "/cg/amg.dll?SQL=Hunter&OPT1=3&Submit=Go&P=amg"},
        {QStringLiteral("#GOOG:lid=1"), "/musicsearch?q=Hunter&res=song"},
        {QStringLiteral("#GNU:rock/0a0b0c0d"), ""},
        {QStringLiteral("rock/0a0b0c0d"), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key.toStdString());
        fServer.clearRequests();
        CustomTag tag;
        tag.setResultKey(row.key);
        tag.setSavedSearchTerms(QStringLiteral("Bjork / Hunter"));
        TrackInfoArray hits;
        ResultKeys::addTrackHitsFromCustomTag(hits, &tag, std::nullopt, Prefs::sourceOptions(),
                                              nullptr);
        EXPECT_EQ(hits.count(), 0);
        EXPECT_EQ(targets(), row.request.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{row.request});
    }
}

TEST_F(ResultKeysTest, ASourceWhoseServerIsDownAddsNothingAndTheNextStillRuns) {
    ClosingServer down;
    setBase(AllMusicGuide::kBaseURLKey, down.baseUrl());
    setBase(GoogleMusic::kBaseURLKey, down.baseUrl());
    setBase(FreeDB::kBaseURLKey, down.baseUrl());
    const std::string base = fServer.baseUrl().toStdString();
    fServer.handle("/search/.*", [base](const httplib::Request&, httplib::Response& res) {
        res.set_content("<a href=\"" + base +
                            "/cd/r\"><b>Björk / Homogenic</b></a> year: 1997, genre: Rock<br>"
                            "<a href=\"" +
                            base + "/gnudb/rock/0a0b0c0d\">x</a>",
                        "text/html");
    });
    LogCapture log;
    AlbumInfoArray hits;
    RecordingProgress progress;
    const QString terms = QString::fromUtf8("Björk / Homogenic");
    AllMusicGuide().search(hits, terms, kWeights, Prefs::sourceOptions(), &progress);
    GoogleMusic().search(hits, terms, kWeights, Prefs::sourceOptions(), &progress);
    FreeDB().search(hits, terms, kWeights, Prefs::sourceOptions(), &progress);
    EXPECT_EQ(hits.count(), 0);
    EXPECT_EQ(down.connections(), 7); // three attempts each at AMG and Google, one at FreeDB
    EXPECT_TRUE(log.contains(QStringLiteral("GrabWebPage 1 (")));
    EXPECT_FALSE(
        AllMusicGuide().details(QStringLiteral("#AMG:10:h"), Prefs::sourceOptions(), nullptr));
    EXPECT_TRUE(log.contains(QStringLiteral("GrabWebPage 2 (")));

    CustomTag saved;
    saved.setResultKey(QStringLiteral("#GNU:rock/0a0b0c0d"));
    saved.setSavedSearchTerms(terms);
    ResultKeys::addAlbumHitsFromCustomTag(hits, &saved, kWeights, Prefs::sourceOptions(),
                                          &progress);
    ASSERT_EQ(hits.count(), 1);
    EXPECT_EQ(hits.at(0)->resultKey(), QStringLiteral("#GNU:rock/0a0b0c0d"));
}

} // namespace
