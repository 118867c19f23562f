#include "web/sources/googlemusic/GoogleMusic.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "support/SourceTestKit.h"
#include "web/WebHelpers.h"
#include "web/WebLimits.h"
#include "web/sources/SourceOptions.h"

#include <atomic>
#include <cstdlib>

namespace {

std::string singleAlbumPage(const std::string& base, const char* albumCell) {
    return "<html><a href=\"" + base +
           "/search?q=homogenic&sid=42\">more</a>"
           "<img src=http://img.example/s.jpg width=80>\n"
           "<table><tr><td>Artist:</td><td><font size=-1>Björk</font></td></tr>\n"
           "<tr><td>Album:</td><td><font size=-1>" +
           albumCell + "</font></td></tr></table></html>";
}

std::string songRow(const char* n, const char* title, const char* album, const char* ref,
                    bool image) {
    std::string cells =
        std::string("<tr><td>spacer</td></tr>\n<tr><td>") + n + ".</td><td valign=top>";
    if (image) cells += "<img src=http://img.example/song.jpg border=0></td><td>";
    return cells + "<a href=/musicl?song>" + title +
           "</a><br><font size=-1>By: <a href=/musics?q=b>Björk</a>"
           " Album: <a href=/musicl?" +
           ref + ">" + album + "</a></font></td></tr>\n";
}

std::string songPage(const std::string& rows, const char* next) {
    std::string page = "<html>Results 1 - 3 of about <b>3 songs</b>\n<p class=g><table>\n" + rows +
                       "</table>\n<div id=navbar class=n>";
    if (next)
        page += std::string("<a href=") + next + "><img src=/nav_next.gif border=0><br>Next</a>";
    return page + "</div></html>";
}

std::string albumDetailsPage(int tracks, const char* albumCell) {
    std::string page =
        std::string("<html><table><tr><td>Artist:</td><td><font size=-1> Björk </font></td></tr>"
                    "<tr><td>Album:</td><td><font size=-1>") +
        albumCell + "</font></td></tr></table>\n<b>Tracks</b><table class=t>\n";
    for (int n = 1; n <= tracks; ++n)
        page += "<tr><td class=n>" + std::to_string(n) + ".</td><td><a href=/s" +
                std::to_string(n) + "> Song " + std::to_string(n) + " </a></td></tr>\n";
    return page + "</table></html>";
}

class GoogleMusicTest : public SourceTest {
protected:
    void serveSearch(std::function<std::string(const httplib::Request&)> answer) {
        servePages("/musicsearch", std::move(answer));
    }
};

TEST_F(GoogleMusicTest, AlbumSearchSendsTheAlbumAlone) {
    serveSearch(
        [](const httplib::Request&) { return capturedBytes("googlemusic/album-list.html"); });
    AlbumInfoArray hits;
    RecordingProgress progress;
    GoogleMusic().search(hits, QString::fromUtf8("Björk / The Homogenic"), kFolderWeights,
                         Prefs::sourceOptions(), &progress);
    // The album alone, without its article, escaped but not squeezed.
    EXPECT_EQ(targets(), std::vector<std::string>{"/musicsearch?q=Homogenic&res=album"});
    EXPECT_EQ(progress.captions(),
              QStringList{QStringLiteral("Interpreting Google Music results...")});
    EXPECT_GE(fGoogle->locks.load(), 1);
    EXPECT_EQ(fAMG->locks.load(), 0);
    EXPECT_EQ(hits.count(), 2);
}

TEST(GoogleMusicPages, AlbumListBecomesRankedHits) {
    AlbumInfoArray hits;
    GoogleMusic::parseAlbumSearchPage(hits, capturedPage("googlemusic/album-list.html"),
                                      QStringLiteral("http://www.google.com"), kFolderWeights,
                                      nullptr);
    ASSERT_EQ(hits.count(), 2);
    const auto& best = hits.at(0);
    EXPECT_EQ(best->resultKey(), QStringLiteral("#GOOG:lid=1&aid=homogenic"));
    EXPECT_EQ(best->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(best->album(), QStringLiteral("Homogenic"));
    EXPECT_EQ(best->albumCoverURL(), QStringLiteral("http://img.example/h.jpg"));
    EXPECT_EQ(best->year(), QStringLiteral(""));
    const auto& other = hits.at(1);
    EXPECT_EQ(other->resultKey(), QStringLiteral("#GOOG:lid=2&aid=post"));
    EXPECT_EQ(other->iadbCompareString(), QString::fromUtf8("Björk & Co / Post"));
    EXPECT_TRUE(other->albumCoverURL().isNull());
}

TEST_F(GoogleMusicTest, PageShowingOneAlbumGivesThatAlbum) {
    const std::string base = fServer.baseUrl().toStdString();
    struct Row {
        const char* cell;
        QString album;
    } rows[] = {{"Homogenic&nbsp;(1997)", QStringLiteral("Homogenic")},
                {"Homogenic Live", QStringLiteral("Homogenic Live")}};
    std::string page;
    serveSearch([&page](const httplib::Request&) { return page; });
    for (const Row& row : rows) {
        AlbumInfoArray hits;
        page = singleAlbumPage(base, row.cell);
        GoogleMusic().search(hits, QStringLiteral("Bjork / Homogenic"), kFolderWeights,
                             Prefs::sourceOptions(), nullptr);
        ASSERT_EQ(hits.count(), 1);
        EXPECT_EQ(hits.at(0)->album(), row.album);
        EXPECT_EQ(hits.at(0)->artist(), QString::fromUtf8("Björk"));
        EXPECT_EQ(hits.at(0)->resultKey(), QStringLiteral("#GOOG:q=homogenic"));
        EXPECT_EQ(hits.at(0)->albumCoverURL(), QStringLiteral("http://img.example/s.jpg"));
    }
}

TEST_F(GoogleMusicTest, SongSearchFollowsNextLinks) {
    serveSearch([](const httplib::Request& req) {
        if (req.get_param_value("start") == "10") {
            // The last row has no closing tag: the walk ends after the one before.
            std::string rows =
                songRow("3", "Jóga (Live)", "Live Box", "lid=3&aid=live", false) +
                "<tr><td>spacer</td></tr>\n<tr><td>4.</td><td valign=top>unterminated";
            return songPage(rows, nullptr);
        }
        return songPage(
            songRow("1", "Jóga", "Homogenic", "lid=1&aid=homogenic", false) +
                songRow("2", "Jóga (Remix)", "Greatest Hits", "lid=2&aid=greatest", true),
            "/musicsearch?q=Joga&res=song&start=10");
    });
    TrackInfoArray hits;
    RecordingProgress progress;
    GoogleMusic().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                              Prefs::sourceOptions(), &progress);

    EXPECT_EQ(targets(), (std::vector<std::string>{"/musicsearch?q=J%C3%B3ga&res=song",
                                                   "/musicsearch?q=Joga&res=song&start=10"}));
    ASSERT_EQ(hits.count(), 3);
    const TrackInfoPtr first = hits.trackAtIndex(0);
    EXPECT_EQ(first->title(), QString::fromUtf8("Jóga"));
    EXPECT_EQ(first->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(first->album(), QStringLiteral("Homogenic"));
    EXPECT_EQ(first->resultKey(), QStringLiteral("#GOOG:lid=1&aid=homogenic"));
    EXPECT_EQ(first->iadbCompareString(), QString::fromUtf8("Björk / Homogenic"));
    EXPECT_TRUE(first->albumCoverURL().isNull());
    const TrackInfoPtr withImage = hits.trackAtIndex(1);
    EXPECT_EQ(withImage->title(), QString::fromUtf8("Jóga (Remix)"));
    EXPECT_EQ(withImage->albumCoverURL(), QStringLiteral("http://img.example/song.jpg"));
    EXPECT_EQ(hits.trackAtIndex(2)->resultKey(), QStringLiteral("#GOOG:lid=3&aid=live"));
    EXPECT_EQ(progress.lastMax(), 3);
}

TEST_F(GoogleMusicTest, CancelledSongSearchKeepsItsEarlierPages) {
    std::atomic<int> served{0};
    serveSearch([&served](const httplib::Request& req) {
        ++served;
        const std::string start = req.get_param_value("start");
        const std::string next =
            "/musicsearch?q=Joga&res=song&start=" + std::to_string(std::atoi(start.c_str()) + 10);
        return songPage(songRow("1", "Jóga", "Homogenic", ("lid=1&aid=p" + start).c_str(), false),
                        next.c_str());
    });
    TrackInfoArray hits;
    // Cancelled while the second page is fetched: that page is not read.
    RecordingProgress progress([&served] { return served.load() >= 2; });
    GoogleMusic().searchSongs(hits, QString::fromUtf8("Björk / Jóga"), std::nullopt,
                              Prefs::sourceOptions(), &progress);
    EXPECT_EQ(targets().size(), 2u);
    ASSERT_EQ(hits.count(), 1);
    EXPECT_EQ(hits.trackAtIndex(0)->resultKey(), QStringLiteral("#GOOG:lid=1&aid=p"));
}

TEST_F(GoogleMusicTest, NextLinkBackToAPageAlreadyReadEndsTheSearch) {
    serveSearch([](const httplib::Request& req) {
        const bool second = req.has_param("start");
        return songPage(songRow("1", "Jóga", "Homogenic", second ? "lid=2" : "lid=1", false),
                        second ? "/musicsearch?q=Joga&res=song"
                               : "/musicsearch?q=Joga&res=song&start=10");
    });
    TrackInfoArray hits;
    GoogleMusic().searchSongs(hits, QStringLiteral("Bjork / Joga"), std::nullopt,
                              Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(targets(), (std::vector<std::string>{"/musicsearch?q=Joga&res=song",
                                                   "/musicsearch?q=Joga&res=song&start=10"}));
    EXPECT_EQ(hits.count(), 2);
}

TEST_F(GoogleMusicTest, EndlessNextLinksStopAtThePageLimit) {
    serveSearch([](const httplib::Request& req) {
        const std::string start = req.has_param("start") ? req.get_param_value("start") : "0";
        // Every page leads on to one never read before.
        const std::string next = "/musicsearch?q=Joga&res=song&start=" + start + "0";
        return songPage(songRow("1", "Jóga", "Homogenic", "lid=1", false), next.c_str());
    });
    TrackInfoArray hits;
    GoogleMusic().searchSongs(hits, QStringLiteral("Bjork / Joga"), std::nullopt,
                              Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(targets().size(), std::size_t(WebLimits::kMaxResultPages));
}

TEST_F(GoogleMusicTest, AlbumPageGivesNumberedTitles) {
    fServer.serve("/musicl", capturedBytes("googlemusic/album-page.html"));
    auto details = GoogleMusic().details(QStringLiteral("#GOOG:lid=1&aid=homogenic"),
                                         Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(targets(), std::vector<std::string>{"/musicl?lid=1&aid=homogenic"});
    EXPECT_EQ(details->resultKey(), QStringLiteral("#GOOG:lid=1&aid=homogenic"));
    EXPECT_EQ(details->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(details->album(), QStringLiteral("Homogenic"));
    ASSERT_EQ(details->numTracks(), 14);
    EXPECT_EQ(details->titleAtIndex(0), QStringLiteral("Song 1"));
    EXPECT_EQ(details->titleAtIndex(10), QStringLiteral("Song 11"));
    EXPECT_EQ(details->titleAtIndex(13), QStringLiteral("Song 14"));
}

TEST_F(GoogleMusicTest, AlbumPageVariants) {
    const QString key = QStringLiteral("#GOOG:x");
    auto noNbsp = GoogleMusic::AlbumDetailsFromGOOGHtml(
        QString::fromLatin1(albumDetailsPage(2, "Homogenic").c_str()), key);
    ASSERT_TRUE(noNbsp);
    EXPECT_TRUE(noNbsp->album().isNull());
    EXPECT_EQ(noNbsp->numTracks(), 2);
    EXPECT_FALSE(GoogleMusic::AlbumDetailsFromGOOGHtml(
        QStringLiteral("<font size=-1>Artist:</font> no track table"), key));
    EXPECT_FALSE(GoogleMusic().details(QStringLiteral("#goog:x"), Prefs::sourceOptions(), nullptr));
    EXPECT_TRUE(targets().empty());
}

TEST_F(GoogleMusicTest, BrowserLookUpsDropTheArticleOnly) {
    SourceOptions options;
    options.values.insert(QString::fromLatin1(GoogleMusic::kBaseURLKey), fServer.baseUrl());
    using S = MusicSource::PageSubject;
    const GoogleMusic site;
    const QStringList opened{site.browseURL(S::Artist, QStringLiteral("The Sugarcubes"), options),
                             site.browseURL(S::Album, QStringLiteral("Life's Too Good"), options),
                             site.browseURL(S::Song, QStringLiteral("A Birthday"), options)};
    const QString base = fServer.baseUrl();
    EXPECT_EQ(opened,
              (QStringList{base + QStringLiteral("/musicsearch?q=Sugarcubes&res=artist"),
                           base + QStringLiteral("/musicsearch?q=Life's%20Too%20Good&res=album"),
                           base + QStringLiteral("/musicsearch?q=Birthday&res=song")}));
}

} // namespace
