#include "web/sources/allmusic/AllMusicGuide.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "support/SourceTestKit.h"
#include "web/WebHelpers.h"
#include "web/WebLimits.h"
#include "web/sources/SourceOptions.h"

#include <atomic>

namespace {

std::string albumSearchPage() {
    return capturedBytes("allmusic/album-search.html");
}

// A recording list row: artist, two cells, the album cell, one cell, year, genre.
std::string recordingRow(const char* artist, const char* sql, const char* album, const char* year,
                         const char* genreCell) {
    return std::string("<tr><td class=\"sorted-cell\">") + artist +
           "</td><td class=\"cell\">5:05</td><td class=\"cell\">Björk</td>"
           "<td class=\"cell\"><a href=\"/cg/amg.dll?p=amg&sql=" +
           sql + "\">" + album + "</a></td><td class=\"cell\">x</td><td class=\"cell\">" + year +
           "</td>" + genreCell + "</tr>\n";
}

const char* kFuzzySongPage =
    "<table><tr><td class=\"cell\"><a href=\"/cg/amg.dll?p=amg&sql=33:joga\">Jóga</a></td>"
    "<td class=\"cell\">12</td></tr>\n"
    "<tr><td class=\"cell\"><a href=\"/cg/amg.dll?p=amg&sql=33:other\">Joga Other</a></td>"
    "<td class=\"cell\">3</td></tr></table>";

std::string recordingsPage() {
    return "<html><div id=\"tabcontent_0\"><div id=\"songearchresults\"><table>\n" +
           recordingRow("Björk", "10:homogenic", "Homogenic", "1997",
                        "<td class=\"cell\"><a href=\"/g\">Rock</a></td>") +
           recordingRow("Björk", "10:greatest", "Greatest Hits", "2002",
                        "<td class=\"cell\"><a href=\"/g\">Pop</a></td>") +
           "</table><div class=\"PagingRow\"><a href=\"/cg/amg.dll?p=amg&sql=33:joga~2\">Next "
           "page</a></div>"
           "</div><!--End Center Content--></html>";
}

std::string trackPage() {
    std::string entries;
    const char* albums[][3] = {{"10:single", "Jóga [Single]", "1997"},
                               {"10:live", "Live Box", "2003"},
                               {"10:family", "Family Tree", "2002"}};
    for (const auto& a : albums)
        entries += std::string("<tr><td><a href=\"/a\" class=\"subtitle\">Björk</a></td>"
                               "<td class=\"content\">Jóga</td><td class=\"sorted-cell\">") +
                   a[2] + "</td><td><a href=\"/cg/amg.dll?p=amg&sql=" + a[0] + "\">" + a[1] +
                   "</a></td></tr>\n";
    return "<html><div id=\"tabcontent_0\"><div id=\"trackpage\"><table>\n" + entries +
           "</table></div><!--End Center Content--></html>";
}

std::string albumPage(bool cover, const char* dateLabel,
                      std::initializer_list<const char*> headers) {
    std::string page = "<html><body>\n";
    if (cover)
        page += "<table><tr><td><!--Begin Album Photo--><img src=\" "
                "http://img.example/homogenic.jpg \"></td></tr></table>\n";
    page += "<table><tr><td><span>Artist</span></td><td><a "
            "href=\"/cg/amg.dll?p=amg&sql=11:b\">Björk</a></td></tr></table>\n"
            "<table><tr><td><span>Album</span></td><td class=\"title\"> "
            "Homogenic\t</td></tr></table>\n";
    page += std::string("<table><tr><td><span>") + dateLabel +
            "</span></td><td>Sep 22, 1997</td></tr></table>\n";
    page += "<!--Begin Genre Listing--><ul><li><a href=\"/g\">Rock</a></li></ul>\n<div><table><tr>";
    for (const char* h : {"Pick", "Play", "#", "Sample"})
        page += std::string("<td>") + h + "</td>";
    for (const char* h : headers)
        page += std::string("<td class=\"passive\">") + h + " <img src=\"/i/spacer.gif\"></td>";
    page += "</tr></table></div></td></tr>\n<table>\n";
    const char* tracks[][2] = {{"<a href=\"/s1\">Hunter</a> [#]", "Björk"},
                               {"Jóga", "Björk &amp; Icelandic String Octet"},
                               {"\n  Unravel  \n", "Björk"}};
    int n = 0;
    for (const auto& t : tracks) {
        const std::string number = std::to_string(++n);
        page += "<tr class=\"visible\" id=\"trlink\" onclick=\"z('" + number +
                "')\"><td>x</td><td>play</td><td>" + number + "</td><td></td>";
        for (const char* h : headers) {
            const std::string header = h;
            if (header == "Title")
                page += std::string("<td class=\"t\">") + t[0] + "</td>";
            else if (header == "Performer")
                page += std::string("<td><a href=\"/p\">") + t[1] + "</a></td>";
            else if (header == "Time")
                page += "<td>4:15</td>";
            else
                page += "<td>Someone</td>";
        }
        page += "</tr>\n";
    }
    return page + "</table></body></html>";
}

class AllMusicGuideTest : public SourceTest {
protected:
    // Answers /cg/amg.dll by its query: the searches by OPT1, the pages by sql.
    void route(std::function<std::string(const httplib::Request&)> answer) {
        servePages("/cg/amg.dll", std::move(answer));
    }
};

TEST_F(AllMusicGuideTest, AlbumSearchSendsTheAlbumAloneSqueezedAndEscaped) {
    route([](const httplib::Request&) { return albumSearchPage(); });
    AlbumInfoArray hits;
    RecordingProgress progress;
    // Squeezing drops letters between U+0080 and U+00FF and keeps the
    // scripts above; what is left is escaped as UTF-8.
    AllMusicGuide().search(hits, QString::fromUtf8("Hikaru / The first love 初恋"), kFolderWeights,
                           Prefs::sourceOptions(), &progress);
    ASSERT_EQ(targets().size(), 1u);
    EXPECT_EQ(targets()[0], "/cg/amg.dll?SQL=FirstLove%E5%88%9D%E6%81%8B&OPT1=2&Submit=Go&P=amg");
    EXPECT_EQ(progress.captions(),
              QStringList{QStringLiteral("Interpreting All Music Guide results...")});
    EXPECT_GE(fAMG->locks.load(), 1);
    EXPECT_EQ(fGoogle->locks.load(), 0);
}

TEST(AllMusicGuidePages, AlbumSearchRowsBecomeRankedHits) {
    AlbumInfoArray hits;
    AllMusicGuide::parseAlbumSearchPage(hits, capturedPage("allmusic/album-search.html"),
                                        kFolderWeights, nullptr);
    ASSERT_EQ(hits.count(), 2);
    const auto& best = hits.at(0);
    EXPECT_EQ(best->resultKey(), QStringLiteral("#AMG:10:homogenic"));
    EXPECT_EQ(best->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(best->album(), QStringLiteral("Homogenic"));
    EXPECT_EQ(best->year(), QStringLiteral("1997"));
    EXPECT_EQ(best->genre(), QStringLiteral("Rock"));
    EXPECT_EQ(best->iadbCompareString(), QString::fromUtf8("Björk / Homogenic"));
    EXPECT_EQ(best->totalScore(), 88);
    EXPECT_EQ(hits.at(1)->resultKey(), QStringLiteral("#AMG:10:vespertine"));
    EXPECT_LT(hits.at(1)->totalScore(), 88);
}

TEST_F(AllMusicGuideTest, AlbumSearchEdgeCases) {
    route([](const httplib::Request&) {
        return std::string("<html><table><tr><td>nothing</td></tr></table></html>");
    });
    {
        LogCapture log;
        AlbumInfoArray hits;
        AllMusicGuide().search(hits, QStringLiteral("no separator here"), kFolderWeights,
                               Prefs::sourceOptions(), nullptr);
        EXPECT_EQ(hits.count(), 0);
        EXPECT_TRUE(targets().empty());
        EXPECT_TRUE(log.lines().isEmpty());
    }
    {
        LogCapture log;
        AlbumInfoArray hits;
        AllMusicGuide().search(hits, QStringLiteral("a / b"), kFolderWeights,
                               Prefs::sourceOptions(), nullptr);
        EXPECT_EQ(hits.count(), 0);
        EXPECT_TRUE(log.contains(QStringLiteral("Why did I get nothing back from this?")));
    }
    {
        // Cancelled before the page is read: nothing parsed.
        route([](const httplib::Request&) { return albumSearchPage(); });
        AlbumInfoArray hits;
        RecordingProgress progress([] { return true; });
        AllMusicGuide().search(hits, QStringLiteral("a / b"), kFolderWeights,
                               Prefs::sourceOptions(), &progress);
        EXPECT_EQ(hits.count(), 0);
    }
}

TEST_F(AllMusicGuideTest, SongSearchFollowsTheFirstResultThroughItsPages) {
    route([](const httplib::Request& req) {
        if (req.get_param_value("OPT1") == "3") return std::string(kFuzzySongPage);
        if (req.get_param_value("sql") == "33:joga") return recordingsPage();
        if (req.get_param_value("sql") == "33:joga~2") return trackPage();
        return std::string("unexpected");
    });
    TrackInfoArray hits;
    RecordingProgress progress;
    AllMusicGuide().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                                Prefs::sourceOptions(), &progress);

    const auto sent = targets();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "/cg/amg.dll?SQL=Jga&OPT1=3&Submit=Go&P=amg");
    EXPECT_EQ(sent[1], "/cg/amg.dll?p=amg&sql=33:joga");
    EXPECT_EQ(sent[2], "/cg/amg.dll?p=amg&sql=33:joga~2");
    EXPECT_EQ(progress.captions(),
              QStringList{QStringLiteral("Interpreting All Music Guide results...")});

    // Without weights every hit scores 100, so they stay in page order.
    QStringList keys;
    for (const auto& hit : hits)
        keys << hit->resultKey();
    EXPECT_EQ(keys,
              (QStringList{QStringLiteral("#AMG:10:homogenic"), QStringLiteral("#AMG:10:greatest"),
                           QStringLiteral("#AMG:10:single"), QStringLiteral("#AMG:10:live"),
                           QStringLiteral("#AMG:10:family")}));
    const TrackInfoPtr first = hits.trackAtIndex(0);
    EXPECT_EQ(first->title(), QString::fromUtf8("Jóga"));
    EXPECT_EQ(first->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(first->year(), QStringLiteral("1997"));
    EXPECT_EQ(first->genre(), QStringLiteral("Rock"));
    EXPECT_EQ(first->track(), QStringLiteral(""));
    // Track-page entries after the first copy its values but keep their own key.
    const TrackInfoPtr live = hits.trackAtIndex(3);
    EXPECT_EQ(live->album(), QString::fromUtf8("Jóga [Single]"));
    EXPECT_EQ(live->year(), QStringLiteral("1997"));
    EXPECT_EQ(live->iadbCompareString(), QString::fromUtf8("Björk / Live Box"));
}

TEST_F(AllMusicGuideTest, SongSearchFollowUpsGoToTheHostThatAnswered) {
    LoopbackServer mirror;
    mirror.handle("/cg/amg.dll", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.has_param("OPT1") ? std::string(kFuzzySongPage) : trackPage(),
                        "text/html");
    });
    fServer.handle("/cg/amg.dll", [&mirror](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(mirror.url(req.target).toStdString());
    });
    TrackInfoArray hits;
    AllMusicGuide().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                                Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(fServer.targets().size(), 1u);
    ASSERT_EQ(mirror.targets().size(), 2u);
    EXPECT_EQ(mirror.targets()[1], "/cg/amg.dll?p=amg&sql=33:joga");
    EXPECT_EQ(hits.count(), 3);
}

TEST_F(AllMusicGuideTest, NextPageBackToAPageAlreadyReadEndsTheSearch) {
    route([](const httplib::Request& req) {
        if (req.get_param_value("OPT1") == "3") return std::string(kFuzzySongPage);
        std::string page = recordingsPage();
        if (req.get_param_value("sql") == "33:joga~2")
            page.replace(page.find("33:joga~2"), 9, "33:joga");
        return page;
    });
    TrackInfoArray hits;
    AllMusicGuide().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                                Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(targets().size(), 3u);
    EXPECT_EQ(hits.count(), 2);
}

TEST_F(AllMusicGuideTest, EndlessNextPagesStopAtThePageLimit) {
    route([](const httplib::Request& req) {
        if (req.get_param_value("OPT1") == "3") return std::string(kFuzzySongPage);
        // Every page leads on to one never read before.
        std::string page = recordingsPage();
        page.replace(page.find("33:joga~2"), 9, req.get_param_value("sql") + "~");
        return page;
    });
    TrackInfoArray hits;
    AllMusicGuide().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                                Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(targets().size(), 1u + WebLimits::kMaxResultPages);
}

TEST_F(AllMusicGuideTest, CancelledSongSearchKeepsItsEarlierPages) {
    std::atomic<bool> secondPageServed{false};
    route([&secondPageServed](const httplib::Request& req) {
        if (req.get_param_value("OPT1") == "3") return std::string(kFuzzySongPage);
        if (req.get_param_value("sql") == "33:joga~2") {
            secondPageServed = true;
            // Would lead on to a third page.
            std::string page = recordingsPage();
            page.replace(page.find("33:joga~2"), 9, "33:joga~3");
            page.replace(page.find("10:homogenic"), 12, "10:another1");
            return page;
        }
        return recordingsPage();
    });
    TrackInfoArray hits;
    RecordingProgress progress([&secondPageServed] { return secondPageServed.load(); });
    AllMusicGuide().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                                Prefs::sourceOptions(), &progress);
    EXPECT_EQ(targets().size(), 3u);
    ASSERT_EQ(hits.count(), 2);
    EXPECT_EQ(hits.at(0)->resultKey(), QStringLiteral("#AMG:10:homogenic"));
}

TEST_F(AllMusicGuideTest, AlbumPageWithCoverPerformersAndRecordingDate) {
    route([](const httplib::Request&) { return capturedBytes("allmusic/album-page.html"); });
    LogCapture log;
    auto details = AllMusicGuide().details(QStringLiteral("#AMG:10:homogenic"),
                                           Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(targets(), std::vector<std::string>{"/cg/amg.dll?p=amg&token=&sql=10:homogenic"});
    EXPECT_TRUE(log.contains(QStringLiteral("SOMETIMES THIS SCREWS UP IF THERE IS NO IMAGE")));
    EXPECT_EQ(details->resultKey(), QStringLiteral("#AMG:10:homogenic"));
    EXPECT_EQ(details->albumCoverURL(), QStringLiteral("http://img.example/homogenic.jpg"));
    EXPECT_EQ(details->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(details->album(), QStringLiteral("Homogenic"));
    EXPECT_EQ(details->year(), QStringLiteral("Sep 22, 1997"));
    EXPECT_EQ(details->genre(), QStringLiteral("Rock"));
    ASSERT_EQ(details->numTracks(), 3);
    EXPECT_EQ(details->titleAtIndex(0), QStringLiteral("Hunter"));
    EXPECT_EQ(details->titleAtIndex(1), QString::fromUtf8("Jóga"));
    EXPECT_EQ(details->titleAtIndex(2), QStringLiteral("Unravel"));
    EXPECT_EQ(details->artistAtIndex(1), QString::fromUtf8("Björk & Icelandic String Octet"));
}

TEST_F(AllMusicGuideTest, AlbumPageVariants) {
    const QString key = QStringLiteral("#AMG:10:x");
    {
        SCOPED_TRACE("no cover, release date, no performer column");
        auto details = AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(
            QString::fromLatin1(albumPage(false, "Release Date", {"Title", "Time"}).c_str()), key);
        EXPECT_TRUE(details->albumCoverURL().isNull());
        EXPECT_EQ(details->year(), QStringLiteral("Sep 22, 1997"));
        ASSERT_EQ(details->numTracks(), 3);
        EXPECT_TRUE(details->artistAtIndex(0).isNull());
    }
    {
        SCOPED_TRACE("no Time header");
        auto details = AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(
            QString::fromLatin1(albumPage(true, "Release Date", {"Title", "Performer"}).c_str()),
            key);
        EXPECT_EQ(details->numTracks(), 0);
        EXPECT_EQ(details->album(), QStringLiteral("Homogenic"));
    }
    {
        SCOPED_TRACE("empty page");
        auto details = AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(QStringLiteral(""), key);
        ASSERT_TRUE(details);
        EXPECT_EQ(details->resultKey(), key);
        EXPECT_TRUE(details->artist().isNull());
    }
    EXPECT_FALSE(
        AllMusicGuide().details(QStringLiteral("#amg:10:x"), Prefs::sourceOptions(), nullptr));
    EXPECT_TRUE(targets().empty());
}

TEST_F(AllMusicGuideTest, RowStringAndBrowserLookUps) {
    EXPECT_EQ(AllMusicGuide::amgRowString(QStringLiteral("<td class=\"x\">\n <b>Hunter</b> [#]\t")),
              QStringLiteral("Hunter"));
    SourceOptions options;
    options.values.insert(QString::fromLatin1(AllMusicGuide::kBaseURLKey), fServer.baseUrl());
    using S = MusicSource::PageSubject;
    const AllMusicGuide site;
    const QStringList opened{site.browseURL(S::Artist, QStringLiteral("The Sugarcubes"), options),
                             site.browseURL(S::Album, QStringLiteral("a life's too good"), options),
                             site.browseURL(S::Song, QStringLiteral("Birthday"), options)};
    const QString base = fServer.baseUrl();
    EXPECT_EQ(
        opened,
        (QStringList{base + QStringLiteral("/cg/amg.dll?SQL=Sugarcubes&OPT1=1&Submit=Go&P=amg"),
                     base + QStringLiteral("/cg/amg.dll?SQL=LifesTooGood&OPT1=2&Submit=Go&P=amg"),
                     base + QStringLiteral("/cg/amg.dll?SQL=Birthday&OPT1=3&Submit=Go&P=amg")}));
}

} // namespace
