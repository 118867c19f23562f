// MusicBrainz and the Cover Art Archive against a loopback copy of their
// answers: politeness, retries, covers and saved searches.
#include "web/sources/musicbrainz/MusicBrainz.h"

#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "support/SourceTestKit.h"
#include "tags/CustomTag.h"
#include "web/GrabWebPage.h"
#include "web/LookupDeadline.h"
#include "web/WebLimits.h"
#include "web/sources/ResultKeys.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include <QDir>
#include <QFile>

#include <atomic>

namespace {

using namespace std::chrono_literals;

const QString kRelease = QStringLiteral("5e1e0000-0000-4000-8000-000000000001");
const std::string kReleasePath = "/ws/2/release/5e1e0000-0000-4000-8000-000000000001";

class MusicBrainzTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        setBase(MusicBrainz::kBaseURLKey, fServer.baseUrl());
        setBase(MusicBrainz::kCoverBaseURLKey, fServer.baseUrl());
        fServer.serve("/ws/2/release/", capturedBytes("musicbrainz/search.json"),
                      "application/json");
    }
    MusicBrainz fSource;
};

TEST_F(MusicBrainzTest, SearchAndLookUpAskPolitelyAndOneSecondApart) {
    fServer.serve(kReleasePath, capturedBytes("musicbrainz/release.json"), "application/json");
    AlbumInfoArray hits;
    fSource.search(hits, QStringLiteral("The Demo Band / Silent Songs"), std::nullopt,
                   Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(hits.count(), 3);
    const auto details =
        fSource.details(MusicBrainzParser::makeKey(kRelease, 0), Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->albumCoverURL(),
              fServer.baseUrl() + QStringLiteral("/release/") + kRelease + "/front-500");

    const auto requests = fServer.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string agent = std::string("Trovix/" TROVIX_VERSION " ( ") +
                              Prefs::stringValue(Prefs::kHomePageURL).toStdString() + " )";
    for (const auto& r : requests)
        EXPECT_EQ(r.headers.find("User-Agent")->second, agent);
    EXPECT_EQ(requests[0].target,
              "/ws/2/release/?query=release%3A%28Silent%20Songs%29%20AND%20artist%3A%28The%20Demo"
              "%20Band%29&fmt=json&limit=10");
    EXPECT_EQ(requests[1].target,
              kReleasePath + "?inc=recordings+artist-credits+release-groups+genres+media&fmt=json");
    EXPECT_GE(requests[1].arrival - requests[0].arrival, 990ms);
}

TEST_F(MusicBrainzTest, BusyAnswersAreRetriedOtherErrorsEndTheRequest) {
    const struct {
        int firstStatus;
        bool found;
        size_t requests;
    } cases[] = {{503, true, 2}, {429, true, 2}, {404, false, 1}, {400, false, 1}};
    std::atomic<int> status{0};
    std::atomic<int> answered{0};
    fServer.handle(kReleasePath, [&](const httplib::Request&, httplib::Response& res) {
        if (answered++ == 0) {
            res.status = status;
            return;
        }
        res.set_content(capturedBytes("musicbrainz/release.json"), "application/json");
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstStatus);
        fServer.clearRequests();
        status = c.firstStatus;
        answered = 0;
        const auto details = fSource.details(MusicBrainzParser::makeKey(kRelease, 0),
                                             Prefs::sourceOptions(), nullptr);
        EXPECT_EQ(bool(details), c.found);
        EXPECT_EQ(fServer.requests().size(), c.requests);
    }
}

TEST_F(MusicBrainzTest, CancelStopsTheWaitOfABusyServer) {
    fServer.handle(kReleasePath,
                   [](const httplib::Request&, httplib::Response& res) { res.status = 503; });
    const auto started = std::chrono::steady_clock::now();
    RecordingProgress progress(
        [started] { return std::chrono::steady_clock::now() - started > 1500ms; });
    EXPECT_FALSE(fSource.details(MusicBrainzParser::makeKey(kRelease, 0), Prefs::sourceOptions(),
                                 &progress));
    // Without the cancel, waits of 1, 2, 4... seconds would follow.
    EXPECT_LE(fServer.requests().size(), 2u);
}

// A busy server repeating a huge error page: it is neither read nor dumped,
// and the waits between retries end with the look-up.
TEST_F(MusicBrainzTest, AHugeBusyAnswerIsNotKeptAndItsRetriesEndWithTheLookUp) {
    const std::string huge(WebLimits::kMaxPageBytes + 1, 'x');
    fServer.handle("/ws/2/release/.*", [&huge](const httplib::Request&, httplib::Response& res) {
        res.status = 503;
        res.set_content(huge, "text/html");
    });
    LookupDeadline deadline(2500ms);
    EXPECT_FALSE(fSource.details(MusicBrainzParser::makeKey(kRelease, 0),
                                 Prefs::sourceOptions(), nullptr));
    // Asked, then again after 1 s; a wait of 2 s more outlasts the look-up.
    EXPECT_EQ(fServer.requests().size(), 2u);
    for (const QFileInfo& dump : QDir(fDumps.path()).entryInfoList(QDir::Files))
        EXPECT_TRUE(dump.fileName().endsWith(".txt")) << dump.fileName().toStdString();
}

TEST_F(MusicBrainzTest, RedirectedCoverArrivesAndAMissingOneIsNoCover) {
    const std::string png = capturedBytes("musicbrainz/front-500.png");
    fServer.serve("/images/front.png", png, "image/png");
    fServer.handle("/release/.*/front-500", [](const httplib::Request&, httplib::Response& res) {
        res.status = 307;
        res.set_header("Location", "/images/front.png");
    });
    QString url = fServer.baseUrl() + QStringLiteral("/release/") + kRelease + "/front-500";
    const PageFetch cover = FetchWebPage(url, nullptr, 5, nullptr);
    ASSERT_TRUE(cover.body);
    EXPECT_EQ(cover.body->toStdString(), png);
    EXPECT_EQ(cover.status, 200);
}

TEST_F(MusicBrainzTest, SavedSearchLooksTheReleaseUpWithoutSearching) {
    fServer.serve(kReleasePath, capturedBytes("musicbrainz/release.json"), "application/json");
    CustomTag tag;
    tag.setSavedSearchTerms(QStringLiteral("The Demo Band / Silent Songs"));
    tag.setResultKey(MusicBrainzParser::makeKey(kRelease, 0));
    AlbumInfoArray hits;
    ResultKeys::addAlbumHitsFromCustomTag(hits, &tag, std::nullopt, Prefs::sourceOptions(),
                                          nullptr);
    ASSERT_EQ(hits.count(), 1);
    EXPECT_EQ(hits.at(0)->resultKey(), tag.resultKey());
    ASSERT_TRUE(hits.at(0)->albumDetails());
    EXPECT_EQ(hits.at(0)->albumDetails()->numTracks(), 5);
    EXPECT_EQ(fServer.targets().size(), 1u);
    EXPECT_EQ(fServer.targets()[0].rfind(kReleasePath, 0), 0u);
}

} // namespace
