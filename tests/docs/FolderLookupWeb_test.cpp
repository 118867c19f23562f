// A folder look-up over the real site sources, served by a loopback server:
// the disc databases' search pages and disc records, the detail fetch by
// result key, and the chosen album applied to real MP3 and M4A files.

#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumInfoArray.h"
#include "support/AlbumFolderFixture.h"
#include "support/SourceTestKit.h"

#include <gtest/gtest.h>

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
        Prefs::setOverride(Prefs::kSearchAMG, false);
        Prefs::setOverride(Prefs::kSearchGOOG, false);
        Prefs::setOverride(Prefs::kSearchGNUDB, true);
        Prefs::setOverride(Prefs::kSearchFreeDB, true);
        const std::string base = fServer.baseUrl().toStdString();
        // gnudb: one result block pointing at its disc record.
        fServer.handle("/search/.*", [base](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body>\n<a href=\"" + base +
                                "/cd/rock0a0b0c0d\"><b>Band / Record</b></a><br>\n"
                                "year: 1999, genre: Rock<br>\n<a href=\"" +
                                base + "/gnudb/rock/0a0b0c0d\">Details</a><br>\n</body></html>",
                            "text/html");
        });
        fServer.serve("/gnudb/rock/0a0b0c0d", kDiscRecord, "text/plain");
        // FreeDB: the same disc under its own key.
        fServer.serve("/freedb_search.php",
                      "<html><body><table>\n<tr><td><a href=\"" + base +
                          "/freedb_search_fmt.php?cat=rock&id=0a0b0c0d\">Band / Record</a></td>"
                          "</tr>\n</table></body></html>");
        fServer.serve("/freedb/rock/0a0b0c0d", kDiscRecord, "text/plain");

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
        keys.append(hit->iadbKey());
    ASSERT_TRUE(keys.contains(QStringLiteral("#GNU:rock/0a0b0c0d")));
    ASSERT_TRUE(keys.contains(QStringLiteral("rock/0a0b0c0d")));
    EXPECT_TRUE(keys.contains(QStringLiteral("#TAG:")));

    // Choosing the gnudb hit applies its disc record: Alpha, a placeholder
    // for Bravo, Charlie.
    doc.handleHitClick(int(keys.indexOf(QStringLiteral("#GNU:rock/0a0b0c0d"))));
    EXPECT_EQ(doc.yearField(), QStringLiteral("1999"));
    EXPECT_EQ(doc.genreField(), QStringLiteral("Rock"));
    QStringList titles;
    for (const AudioTrackRef& t : doc.trackArray())
        titles.append(t->isPlaceholder() ? QStringLiteral("<missing>") : t->getNewTitle());
    EXPECT_EQ(titles, (QStringList{"Alpha", "<missing>", "Charlie"}));
    EXPECT_EQ(doc.trackArray().objectAtIndex(0)->getFileName(), QStringLiteral("02.m4a"));
}

} // namespace
