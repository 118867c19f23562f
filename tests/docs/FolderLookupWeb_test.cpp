// A folder look-up over the real site sources, served by a loopback server:
// the disc databases' search pages and disc records, the detail fetch by
// result key, and the chosen album applied to real MP3 and M4A files.

#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumInfoArray.h"
#include "support/AlbumFolderFixture.h"
#include "support/SourceTestKit.h"
#include "tags/CustomTag.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

const char* kDiscRecord = "# xmcd\n"
                          "DISCID=0a0b0c0d\n"
                          "DTITLE=Band / Record\n"
                          "DYEAR=1999\n"
                          "DGENRE=Rock\n"
                          "TTITLE0=Alpha\n"
                          "TTITLE1=Bravo\n"
                          "TTITLE2=Charlie\n"
                          "EXTD=\n";

class FolderLookupWeb : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        Prefs::setOverride(Prefs::kSmartCapitalization, false);
        Prefs::setOverride(Prefs::kSearchForCoverArt, false);
        Prefs::setOverride(AllMusicGuide::kSearchKey, false);
        Prefs::setOverride(GoogleMusic::kSearchKey, false);
        Prefs::setOverride(Gnudb::kSearchKey, true);
        Prefs::setOverride(FreeDB::kSearchKey, true);
        const std::string base = fServer.baseUrl().toStdString();
        // gnudb: one result block pointing at its disc record.
        fServer.handle("/search/.*", [base](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body>\n<a href=\"" + base +
                                "/cd/rock0a0b0c0d\"><b>Band / Record</b></a><br>\n"
                                "year: 1999, genre: Rock<br>\n<a href=\"" +
                                base + "/gnudb/rock/0a0b0c0d\">Details</a><br>\n</body></html>",
                            "text/html");
        });
        // The disc records, or silence until the server stops.
        fServer.handle("/(gnudb|freedb)/rock/0a0b0c0d",
                       [this](const httplib::Request&, httplib::Response& res) {
                           if (fSilentRecords) fServer.stall(std::chrono::seconds(60));
                           res.set_content(kDiscRecord, "text/plain");
                       });
        // FreeDB: the same disc under its own key.
        fServer.serve("/freedb_search.php",
                      "<html><body><table>\n<tr><td><a href=\"" + base +
                          "/freedb_search_fmt.php?cat=rock&id=0a0b0c0d\">Band / Record</a></td>"
                          "</tr>\n</table></body></html>");

        ASSERT_TRUE(folder.isValid());
        const char* titles[] = {"Charlie", "Alpha"};
        for (int i = 0; i < 2; ++i) {
            FixtureTrack t;
            t.fileName = QStringLiteral("0%1.%2").arg(i + 1).arg(i ? "m4a" : "mp3");
            t.title = QString::fromLatin1(titles[i]);
            t.artist = QStringLiteral("Band");
            t.album = QStringLiteral("Record");
            ASSERT_TRUE(folder.add(t));
        }
    }

    AlbumFolderFixture folder;
    HeadlessHost host;
    std::atomic<bool> fSilentRecords{false};
};

TEST_F(FolderLookupWeb, TheDiscDatabasesAreSearchedAndTheirDetailsApplied) {
    TrovixDocument doc(&host);
    doc.setDocumentPath(folder.path(), false);
    doc.waitUntilIdle();
    EXPECT_TRUE(host.alerts().empty());

    // Each database asked twice: the terms, then the artist alone.
    int gnudb = 0, freedb = 0;
    for (const std::string& target : targets()) {
        if (target.rfind("/search/", 0) == 0) ++gnudb;
        if (target.rfind("/freedb_search.php", 0) == 0) ++freedb;
    }
    EXPECT_EQ(gnudb, 2);
    EXPECT_EQ(freedb, 2);

    QStringList keys;
    for (const AlbumInfoPtr& hit : *doc.hitTable().albumArray())
        keys.append(hit->resultKey());
    ASSERT_TRUE(keys.contains(QStringLiteral("#GNU:rock/0a0b0c0d")));
    ASSERT_TRUE(keys.contains(QStringLiteral("rock/0a0b0c0d")));
    EXPECT_TRUE(keys.contains(QStringLiteral("#TAG:")));

    // Choosing the gnudb hit applies its disc record: Alpha, a placeholder
    // for Bravo, Charlie.
    doc.applier().handleHitClick(int(keys.indexOf(QStringLiteral("#GNU:rock/0a0b0c0d"))));
    EXPECT_EQ(doc.albumField(TagField::Year), QStringLiteral("1999"));
    EXPECT_EQ(doc.albumField(TagField::Genre), QStringLiteral("Rock"));
    QStringList titles;
    for (const AudioTrackRef& t : doc.trackArray())
        titles.append(t->isPlaceholder() ? QStringLiteral("<missing>") : t->getNewTitle());
    EXPECT_EQ(titles, (QStringList{"Alpha", "<missing>", "Charlie"}));
    EXPECT_EQ(doc.trackArray().at(0)->getFileName(), QStringLiteral("02.m4a"));
}

// A silent server cannot hold a look-up past its time limit: the record
// being fetched is cut off, no other is asked for, and the hits made from
// the folder are shown.
TEST_F(FolderLookupWeb, TheTimeLimitEndsTheLookUpWithTheHitsFoundSoFar) {
    Prefs::setOverride(Prefs::kLookupTimeLimit, 1);
    fSilentRecords = true;
    LogCapture log;
    TrovixDocument doc(&host);
    doc.setDocumentPath(folder.path(), false);
    doc.waitUntilIdle();

    int records = 0;
    for (const std::string& target : targets())
        if (target.find("/rock/0a0b0c0d") != std::string::npos) ++records;
    EXPECT_LE(records, 1); // none when a loaded machine spends the second searching
    EXPECT_TRUE(log.contains(QStringLiteral("look-up time is up")));
    QStringList keys;
    for (const AlbumInfoPtr& hit : *doc.hitTable().albumArray())
        keys.append(hit->resultKey());
    EXPECT_EQ(keys.size(), 2);
    EXPECT_TRUE(keys.contains(QStringLiteral("#TAG:")));
}

// The four real sources on one loopback server, opened on a folder whose
// MP3 file carries a saved gnudb search: the saved search runs first, then
// All Music Guide, Google Music, gnudb and FreeDB, and each source's hit is
// fetched by its own key.
class FolderLookupFourSources : public FolderLookupWeb {
protected:
    void SetUp() override {
        FolderLookupWeb::SetUp();
        for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
                                Gnudb::kSearchKey, FreeDB::kSearchKey})
            Prefs::setOverride(key, true);
        fServer.handle("/cg/amg.dll", [](const httplib::Request& req, httplib::Response& res) {
            if (req.has_param("OPT1")) {
                res.set_content(
                    "<html><body><table>\n<tr><td class=\"sorted-cell\"><div class=\"bar\" "
                    "style=\"width:60px\"></div></td>\n<td class=\"cell\">1999</td>\n<td "
                    "class=\"cell\">Band</td>\n<td class=\"cell\"><a "
                    "href=\"/cg/amg.dll?p=amg&sql=10:record\">Record Deluxe</a></td>\n<td "
                    "class=\"cell\">Label</td>\n<td class=\"cell\"><a "
                    "href=\"/cg/amg.dll?p=amg&sql=73:x\">Rock</a></td></tr>\n</table></body></"
                    "html>",
                    "text/html");
                return;
            }
            std::string page =
                "<html><body>\n<table><tr><td><span>Artist</span></td><td><a "
                "href=\"/cg/amg.dll?p=amg&sql=11:b\">Band</a></td></tr></table>\n"
                "<table><tr><td><span>Album</span></td><td class=\"title\">Record "
                "Deluxe</td></tr></table>\n<table><tr><td><span>Release Date</span></td><td>1999"
                "</td></tr></table>\n<!--Begin Genre Listing--><ul><li><a "
                "href=\"/g\">Rock</a></li></ul>\n<div><table><tr><td>Pick</td><td>Play</td><td>#"
                "</td><td>Sample</td><td class=\"passive\">Title <img "
                "src=\"/i/spacer.gif\"></td><td class=\"passive\">Time <img "
                "src=\"/i/spacer.gif\"></td></tr></table></div></td></tr>\n<table>\n";
            int n = 0;
            for (const char* title : {"Alpha", "Bravo", "Charlie", "Delta"}) {
                const std::string number = std::to_string(++n);
                page += "<tr class=\"visible\" id=\"trlink\" onclick=\"z('" + number +
                        "')\"><td>x</td><td>play</td><td>" + number +
                        "</td><td></td><td "
                        "class=\"t\">" +
                        title + "</td><td>4:15</td></tr>\n";
            }
            res.set_content(page + "</table></body></html>", "text/html");
        });
        fServer.serve(
            "/musicsearch",
            "<html><table>\n<tr><td><a href=\"/musicl?lid=1&aid=record\">Record "
            "Live</a><br><font size=-1>By: <b>Band</b></font></td></tr>\n</table></html>");
        fServer.serve("/musicl",
                      "<html><table><tr><td>Artist:</td><td><font size=-1>Band</font></td></tr>"
                      "<tr><td>Album:</td><td><font size=-1>Record Live</font></td></tr></table>\n"
                      "<b>Tracks</b><table class=t>\n<tr><td class=n>1.</td><td><a href=/s1> "
                      "Alpha </a></td></tr>\n</table></html>");

        CustomTag saved;
        saved.setSavedSearchTerms(QStringLiteral("Saved Band / Saved Record"));
        saved.setResultKey(QStringLiteral("#GNU:rock/0a0b0c0d"));
        FixtureTrack t;
        t.fileName = QStringLiteral("03.mp3");
        t.title = QStringLiteral("Bravo");
        t.artist = QStringLiteral("Band");
        t.album = QStringLiteral("Record");
        t.customTag = saved;
        ASSERT_TRUE(folder.add(t));
    }
};

TEST_F(FolderLookupFourSources, SavedSearchFirstThenTheSourcesInOrder) {
    TrovixDocument doc(&host);
    doc.setDocumentPath(folder.path(), false);
    doc.waitUntilIdle();
    EXPECT_TRUE(host.alerts().empty());

    // The searches, in the order they were sent (detail fetches left out).
    QStringList searches;
    for (const std::string& target : targets()) {
        const QString t = QString::fromStdString(target);
        if (t.startsWith(u"/search/")) searches << QStringLiteral("gnudb");
        if (t.startsWith(u"/freedb_search.php")) searches << QStringLiteral("freedb");
        if (t.startsWith(u"/musicsearch")) searches << QStringLiteral("goog");
        if (t.startsWith(u"/cg/amg.dll") && t.contains(u"OPT1")) searches << QStringLiteral("amg");
    }
    EXPECT_EQ(searches,
              (QStringList{"gnudb", "amg", "goog", "gnudb", "gnudb", "freedb", "freedb"}));
    EXPECT_EQ(doc.lastSearch(), QStringLiteral("Saved Band / Saved Record"));

    // One hit from each source and the folder's own two, best first, each
    // with the details its key fetched.
    QStringList keys;
    int previous = 100;
    for (const AlbumInfoPtr& hit : *doc.hitTable().albumArray()) {
        keys.append(hit->resultKey());
        EXPECT_TRUE(hit->albumDetails()) << hit->resultKey().toStdString();
        EXPECT_LE(hit->totalScore(), previous) << hit->resultKey().toStdString();
        previous = hit->totalScore();
    }
    for (const char* key : {"#AMG:10:record", "#GOOG:lid=1&aid=record", "#GNU:rock/0a0b0c0d",
                            "rock/0a0b0c0d", "#TAG:", "#FILES:"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;

    // Choosing the All Music Guide hit matches its four titles to the files.
    doc.applier().handleHitClick(int(keys.indexOf(QStringLiteral("#AMG:10:record"))));
    QStringList titles;
    for (const AudioTrackRef& t : doc.trackArray())
        titles.append(t->isPlaceholder() ? QStringLiteral("<missing>") : t->getNewTitle());
    EXPECT_EQ(titles, (QStringList{"Alpha", "Bravo", "Charlie", "<missing>"}));
    EXPECT_EQ(doc.albumField(TagField::Album), QStringLiteral("Record Deluxe"));
}

} // namespace
