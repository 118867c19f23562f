#include "prefs/PrefsOptions.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"

#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "support/AlbumTitles.h"
#include "support/SourceTestKit.h"
#include "web/sources/DiscDatabase.h"
#include "web/sources/SourceOptions.h"

namespace {

QStringList keysOf(const AlbumInfoArray& hits) {
    QStringList keys;
    for (const auto& hit : hits)
        keys << hit->resultKey();
    return keys;
}

class FreeDBTest : public SourceTest {
protected:
    std::string base() const { return fServer.baseUrl().toStdString(); }

    // The captured pages with their links pointing at the loopback server.
    std::string searchPage() const { return rebased("freedb/search.html", kFreeDBSite); }
    std::string gnudbPage() const { return rebased("gnudb/search.html", kGnudbSite); }

    std::string rebased(const char* path, const std::string& site) const {
        std::string page = capturedBytes(path);
        for (size_t at = page.find(site); at != std::string::npos; at = page.find(site, at))
            page.replace(at, site.size(), base());
        return page;
    }

    static inline const std::string kFreeDBSite = "http://www.freedb.org";
    static inline const std::string kGnudbSite = "http://www.gnudb.org";
};

TEST_F(FreeDBTest, SearchSendsEscapedWordsWithoutParentheses) {
    fServer.serve("/freedb_search.php", searchPage());
    AlbumInfoArray hits;
    RecordingProgress progress;
    FreeDB().search(hits, QStringLiteral("Björk (Live) & Friends / Homogenic"), kFolderWeights,
                    Prefs::sourceOptions(), &progress);
    ASSERT_EQ(targets().size(), 1u);
    EXPECT_EQ(targets()[0],
              "/freedb_search.php?words=Bj%C3%B6rk%20Live%20&%20Friends%20/%20Homogenic"
              "&allfields=NO&fields=artist&fields=title&allcats=YES&grouping=none");
    EXPECT_EQ(progress.captions(), QStringList{QStringLiteral("Interpreting FreeDB results...")});
    EXPECT_EQ(progress.bumpTotal(), progress.lastMax()); // the bar ends at the page's end
}

TEST(FreeDBPages, SearchResultsBecomeRankedHits) {
    AlbumInfoArray hits;
    FreeDB::parseSearchPage(hits, capturedPage("freedb/search.html"),
                            QStringLiteral("http://www.freedb.org"), kFolderWeights, nullptr);

    // Best first; the number-only entry took the text before it; the two
    // with unreadable identifiers and the empty one are skipped.
    ASSERT_EQ(keysOf(hits),
              (QStringList{QStringLiteral("rock/0a0b0c0d"), QStringLiteral("data/0a0b0c0e"),
                           QStringLiteral("jazz/00000abc"), QStringLiteral("misc/a1b2c3d4")}));
    const auto& best = hits.at(0);
    EXPECT_EQ(best->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(best->album(), QStringLiteral("Homogenic"));
    EXPECT_EQ(best->iadbCompareString(), QString::fromUtf8("Björk / Homogenic"));
    EXPECT_EQ(best->year(), QStringLiteral(""));
    EXPECT_EQ(best->totalScore(), 88);
    EXPECT_EQ(hits.at(1)->iadbCompareString(), QString::fromUtf8("Björk / Homogenic"));
    const auto& noSlash = hits.at(2);
    EXPECT_EQ(noSlash->artist(), QStringLiteral("Various Sessions"));
    EXPECT_EQ(noSlash->album(), QStringLiteral(""));
    EXPECT_EQ(noSlash->iadbCompareString(), QStringLiteral("Various Sessions / "));
}

TEST_F(FreeDBTest, GnudbSearchSendsItsPath) {
    fServer.handle("/search/.*", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(gnudbPage(), "text/html");
    });
    AlbumInfoArray hits;
    RecordingProgress progress;
    Gnudb().search(hits, QStringLiteral("Björk / Homogenic"), kFolderWeights,
                   Prefs::sourceOptions(), &progress);
    ASSERT_EQ(targets().size(), 1u);
    EXPECT_EQ(targets()[0], "/search/Bj%C3%B6rk%20/%20Homogenic");
    EXPECT_EQ(progress.captions(), QStringList{QStringLiteral("Interpreting GnuDB results...")});
    EXPECT_EQ(hits.count(), 3);
}

TEST(GnudbPages, SearchWalksResultBlocks) {
    AlbumInfoArray hits;
    Gnudb::parseSearchPage(hits, capturedPage("gnudb/search.html"),
                           QStringLiteral("http://www.gnudb.org"), kFolderWeights, nullptr);
    ASSERT_EQ(keysOf(hits), (QStringList{QStringLiteral("#GNU:rock/0a0b0c0d"),
                                         QStringLiteral("#GNU:jazz/1f2e3d4c"),
                                         QStringLiteral("#GNU:misc/00000abc")}));
    EXPECT_EQ(hits.at(0)->year(), QStringLiteral("1997"));
    EXPECT_EQ(hits.at(0)->genre(), QStringLiteral("Alternative"));
    // The last block has no year or genre label: both empty.
    EXPECT_EQ(hits.at(1)->album(), QString::fromUtf8("Gling-Gló"));
    EXPECT_EQ(hits.at(1)->year(), QStringLiteral(""));
    EXPECT_EQ(hits.at(2)->artist(), QStringLiteral("The Sugarcubes"));
}

TEST_F(FreeDBTest, CancelledSearchKeepsTheHitsAddedSoFar) {
    fServer.serve("/freedb_search.php", searchPage());
    AlbumInfoArray hits;
    RecordingProgress* self = nullptr;
    RecordingProgress progress([&self] { return self && self->bumps() > 2; });
    self = &progress;
    FreeDB().search(hits, QStringLiteral("Björk / Homogenic"), kFolderWeights,
                    Prefs::sourceOptions(), &progress);
    EXPECT_EQ(keysOf(hits),
              (QStringList{QStringLiteral("rock/0a0b0c0d"), QStringLiteral("misc/a1b2c3d4")}));
}

TEST_F(FreeDBTest, CancelledGnudbSearchKeepsTheHitsAddedSoFar) {
    fServer.handle("/search/.*", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(gnudbPage(), "text/html");
    });
    AlbumInfoArray hits;
    RecordingProgress* self = nullptr;
    RecordingProgress progress([&self] { return self && self->bumps() > 1; });
    self = &progress;
    Gnudb().search(hits, QStringLiteral("Bjork / Homogenic"), kFolderWeights,
                   Prefs::sourceOptions(), &progress);
    EXPECT_EQ(keysOf(hits), QStringList{QStringLiteral("#GNU:rock/0a0b0c0d")});
}

TEST_F(FreeDBTest, BaseWithTrailingSlashStillFindsTheResultLinks) {
    setBase(FreeDB::kBaseURLKey, fServer.baseUrl() + QStringLiteral("/"));
    setBase(Gnudb::kBaseURLKey, fServer.baseUrl() + QStringLiteral("/"));
    fServer.serve("/freedb_search.php", searchPage());
    fServer.handle("/search/.*", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(gnudbPage(), "text/html");
    });
    AlbumInfoArray freedb, gnudb;
    FreeDB().search(freedb, QStringLiteral("a / b"), kFolderWeights, Prefs::sourceOptions(),
                    nullptr);
    Gnudb().search(gnudb, QStringLiteral("a / b"), kFolderWeights, Prefs::sourceOptions(), nullptr);
    EXPECT_EQ(freedb.count(), 4);
    EXPECT_EQ(gnudb.count(), 3);
    EXPECT_EQ(targets()[0].rfind("/freedb_search.php?", 0), 0u);
    EXPECT_EQ(targets()[1], "/search/a%20/%20b");
}

TEST_F(FreeDBTest, EmptyPageAddsNothing) {
    fServer.serve("/freedb_search.php", "");
    AlbumInfoArray hits;
    RecordingProgress progress;
    FreeDB().search(hits, QStringLiteral("a / b"), kFolderWeights, Prefs::sourceOptions(),
                    &progress);
    EXPECT_EQ(hits.count(), 0);
    EXPECT_TRUE(progress.captions().isEmpty());
}

// Disc records --------------------------------------------------------------

std::string discRecord() {
    return capturedBytes("freedb/disc-record.txt");
}

TEST_F(FreeDBTest, DiscRecordGivesJoinedTitleYearGenreAndTracks) {
    fServer.serve("/freedb/rock/0a0b0c0d", discRecord(), "text/plain");
    auto details =
        FreeDB().details(QStringLiteral("rock/0a0b0c0d"), Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(targets(), std::vector<std::string>{"/freedb/rock/0a0b0c0d"});
    EXPECT_EQ(details->resultKey(), QStringLiteral("rock/0a0b0c0d"));
    EXPECT_EQ(details->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(details->album(), QStringLiteral("Homogenic (Special Edition)"));
    EXPECT_EQ(details->year(), QStringLiteral("1997"));
    EXPECT_EQ(details->genre(), QStringLiteral("Alternative"));
    const QStringList titles = titlesOf(*details);
    ASSERT_EQ(titles.size(), 12);
    EXPECT_EQ(titles[1], QString::fromUtf8("Jóga"));
    EXPECT_EQ(titles[3], QStringLiteral("Bachelorette (a title so long that it"));
    EXPECT_EQ(titles[10], QString::fromUtf8("Jóga (String Mix)"));
    EXPECT_EQ(titles[11], QStringLiteral("Guest / Duet Title"));
    EXPECT_TRUE(details->artistAtIndex(0).isNull());

    // Request and record were dumped under consecutive numbers.
    const QStringList dumps = dumpNames();
    ASSERT_EQ(dumps.size(), 2);
    const QString number = dumps[0].section('_', 2).section('.', 0, 0);
    EXPECT_EQ(dumps[0], QStringLiteral("Trovix_FreeDB_%1.txt").arg(number));
    EXPECT_EQ(dumps[1], QStringLiteral("Trovix_FreeDB_%1.htm").arg(number.toInt() + 1));
}

TEST(FreeDBPages, DiscRecordVariants) {
    struct Row {
        const char* name;
        std::string record;
        QString artist, album, year, genre;
        int tracks;
    } rows[] = {
        {"jump in track numbers",
         "DTITLE=A / B\nDYEAR=2001\nDGENRE=Rock\nTTITLE0=a\nTTITLE1=b\nTTITLE2=c\n"
         "TTITLE3=d\nTTITLE4=e\nTTITLE6=g\nTTITLE7=h\n",
         "A", "B", "2001", "Rock", 5},
        {"missing DYEAR", "DTITLE=A / B\nDGENRE=Rock\nTTITLE0=a\nTTITLE1=b\n", "A", "B", QString(),
         "Rock", 2},
        {"title without slash", "DTITLE=Only Artist\nDYEAR=\nTTITLE0=a\n", "Only Artist", QString(),
         "", QString(), 1},
        {"CRLF lines", "DTITLE=A / B\r\nDYEAR=1999\r\nDGENRE=Pop\r\nTTITLE0=a\r\n", "A", "B",
         "1999", "Pop", 1},
        {"last title without line feed", "DTITLE=A / B\nTTITLE0=a\nTTITLE1=b", "A", "B", QString(),
         QString(), 2},
        {"title line without line feed", "DTITLE=A / B", QString(), QString(), QString(), QString(),
         0},
        {"no title line", "DYEAR=1999\nTTITLE0=a\n", QString(), QString(), QString(), QString(), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto details = DiscDatabase::AlbumDetailsFromDiscRecord(
            QString::fromLatin1(row.record.c_str()), QStringLiteral("rock/1"));
        ASSERT_TRUE(details);
        EXPECT_EQ(details->artist(), row.artist);
        EXPECT_EQ(details->album(), row.album);
        EXPECT_EQ(details->year(), row.year);
        EXPECT_EQ(details->genre(), row.genre);
        EXPECT_EQ(details->numTracks(), row.tracks);
    }
}

TEST(FreeDBPages, CharacterSetOfRecords) {
    // Valid UTF-8 is kept whatever its script.
    auto japanese = DiscDatabase::AlbumDetailsFromDiscRecord(
        QString::fromLatin1("DTITLE=\xE5\xAE\x87\xE5\xA4\x9A\xE7\x94\xB0 / "
                            "\xE5\x88\x9D\xE6\x81\x8B\nTTITLE0=\xE5\x88\x9D\xE6\x81\x8B\n"),
        QStringLiteral("misc/1"));
    ASSERT_TRUE(japanese);
    EXPECT_EQ(japanese->artist(), QString::fromUtf8("宇多田"));
    EXPECT_EQ(japanese->titleAtIndex(0), QString::fromUtf8("初恋"));
    // A legacy ISO 8859-1 record within Mac OS Roman reads as it is...
    auto legacy = DiscDatabase::AlbumDetailsFromDiscRecord(
        QString::fromLatin1("DTITLE=Bj\xF6rk / Post\nTTITLE0=Army\n"), QStringLiteral("misc/2"));
    ASSERT_TRUE(legacy);
    EXPECT_EQ(legacy->artist(), QString::fromUtf8("Björk"));
    // A long Japanese title split inside a character: the record is not
    // valid UTF-8 as a whole (and holds bytes outside Mac OS Roman), but its
    // joined title is.
    auto split = DiscDatabase::AlbumDetailsFromDiscRecord(
        QString::fromLatin1(
            "DTITLE=\xE5\xAE\x87\xE5\xA4\x9A\xE7\x94\nDTITLE=\xB0 / \xE5\x88\x9D\xE6\x81\x8B\n"
            "DYEAR=1999\nTTITLE0=\xE5\x88\x9D\xE6\x81\x8B\n"),
        QStringLiteral("misc/4"));
    ASSERT_TRUE(split);
    EXPECT_EQ(split->artist(), QString::fromUtf8("宇多田"));
    EXPECT_EQ(split->album(), QString::fromUtf8("初恋"));
    EXPECT_EQ(split->titleAtIndex(0), QString::fromUtf8("初恋"));
    // A legacy record with one value in UTF-8: each value reads as it was meant.
    auto mixed = DiscDatabase::AlbumDetailsFromDiscRecord(
        QString::fromLatin1("DTITLE=Bj\xC3\xB6rk / Post\nTTITLE0=J\xF3ga\n"),
        QStringLiteral("misc/5"));
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->artist(), QString::fromUtf8("Björk"));
    EXPECT_EQ(mixed->titleAtIndex(0), QString::fromUtf8("Jóga"));
    // ...and one that is neither is refused rather than garbled.
    EXPECT_FALSE(DiscDatabase::AlbumDetailsFromDiscRecord(
        QString::fromLatin1("DTITLE=A \x96 B / C\nTTITLE0=x\n"), QStringLiteral("misc/3")));
}

// Pages and records that try to write into names, tags and the custom tag:
// a key outside the database's own shape drops its hit or is never asked
// for, and every text field loses its controls and overrides.
TEST_F(FreeDBTest, HostileKeysAreDroppedAndTextIsCleaned) {
    using namespace std::string_literals;
    const auto page = [](const std::string& bytes) {
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    };
    const QString base = QStringLiteral("http://db");
    AlbumInfoArray gnudb;
    Gnudb::parseSearchPage(
        gnudb,
        page("<a href=\"http://db/cd/1\"><b>Evil / Inject</b></a><br>\n"
             "<a href=\"http://db/gnudb/rock\nvariousArtist\tInjected/0a0b0c0d\">x</a>\n"
             "<a href=\"http://db/cd/2\"><b>Unknown / Category</b></a><br>\n"
             "<a href=\"http://db/gnudb/pop/0a0b0c0d\">x</a>\n"
             "<a href=\"http://db/cd/3\"><b>\xE2\x80\xAENo \x1b[2JLabels\x07 / Cl\0osing\r</b></a>"
             "<br>\n<a href=\"http://db/gnudb/misc/00000001\">x</a>\n"
             "<a href=\"http://db/cd/4\"><b>Labelled / Later</b></a><br>\n"
             "year: 2001, genre: Rock<br>\n<a href=\"http://db/gnudb/jazz/00000002\">x</a>\n"s),
        base, std::nullopt, nullptr);
    ASSERT_EQ(keysOf(gnudb), (QStringList{QStringLiteral("#GNU:misc/00000001"),
                                          QStringLiteral("#GNU:jazz/00000002")}));
    EXPECT_EQ(gnudb.at(0)->artist(), QStringLiteral("No [2JLabels"));
    EXPECT_EQ(gnudb.at(0)->album(), QStringLiteral("Closing "));
    // An entry's labels are its own, never a later entry's.
    EXPECT_EQ(gnudb.at(0)->year(), QStringLiteral(""));
    EXPECT_EQ(gnudb.at(1)->year(), QStringLiteral("2001"));

    AlbumInfoArray freedb;
    FreeDB::parseSearchPage(
        freedb,
        page("<a href=\"http://db/freedb_search_fmt.php?cat=rock\nvariousArtist\tX&id=0a0b0c0d\">"
             "A / B</a>\n<a href=\"http://db/freedb_search_fmt.php?cat=misc&id=0a0b0c0d\">"
             "Bad\x1b"
             "Artist / Alb\0um</a>\n"s),
        base, std::nullopt, nullptr);
    ASSERT_EQ(keysOf(freedb), QStringList{QStringLiteral("misc/0a0b0c0d")});
    EXPECT_EQ(freedb.at(0)->artist(), QStringLiteral("BadArtist"));
    EXPECT_EQ(freedb.at(0)->album(), QStringLiteral("Album"));

    const auto record = DiscDatabase::AlbumDetailsFromDiscRecord(
        page("DTITLE=Art\x1b]0;owned\x07ist / Al\xE2\x80\xAE"
             "bum\nDYEAR=19\0"
             "99\nTTITLE0=Ti\ttle\n"s),
        QStringLiteral("misc/00000001"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->artist(), QStringLiteral("Art]0;ownedist"));
    EXPECT_EQ(record->album(), QStringLiteral("Album"));
    EXPECT_EQ(record->year(), QStringLiteral("1999"));
    EXPECT_EQ(record->titleAtIndex(0), QStringLiteral("Ti tle"));

    // Keys read back from a file's custom tag are held to the same shape.
    for (const char* key : {"rock\nvariousArtist\tX/0a0b0c0d", "Rock/0a0b0c0d", "rock/0a0b0c0"})
        EXPECT_FALSE(
            FreeDB().details(QString::fromLatin1(key), Prefs::sourceOptions(), nullptr));
    EXPECT_TRUE(targets().empty());
}

TEST_F(FreeDBTest, GnudbDetailsNeedTheirPrefix) {
    fServer.serve("/gnudb/rock/0a0b0c0d", discRecord(), "text/plain");
    EXPECT_FALSE(Gnudb().details(QStringLiteral("rock/0a0b0c0d"), Prefs::sourceOptions(), nullptr));
    EXPECT_TRUE(targets().empty());
    auto details =
        Gnudb().details(QStringLiteral("#GNU:rock/0a0b0c0d"), Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(targets(), std::vector<std::string>{"/gnudb/rock/0a0b0c0d"});
    EXPECT_EQ(details->resultKey(), QStringLiteral("#GNU:rock/0a0b0c0d"));
    EXPECT_EQ(details->album(), QStringLiteral("Homogenic (Special Edition)"));
    EXPECT_EQ(details->numTracks(), 12);
    const QStringList dumps = dumpNames();
    ASSERT_EQ(dumps.size(), 2);
    EXPECT_TRUE(dumps[0].startsWith(QStringLiteral("Trovix_GnuDB_")) &&
                dumps[0].endsWith(QStringLiteral(".txt")));
    EXPECT_TRUE(dumps[1].startsWith(QStringLiteral("Trovix_GnuDB_")) &&
                dumps[1].endsWith(QStringLiteral(".htm")));
}

TEST_F(FreeDBTest, FetchedJapaneseRecordIsKept) {
    // Served as UTF-8 bytes; the fetcher hands each byte over as one character.
    fServer.serve(
        "/gnudb/misc/00c0ffee",
        "DTITLE=\xE5\xAE\x87\xE5\xA4\x9A\xE7\x94\xB0\xE3\x83\x92\xE3\x82\xAB\xE3\x83\xAB / "
        "First "
        "Love\nDYEAR=1999\nDGENRE=J-Pop\nTTITLE0=Automatic\nTTITLE1=\xE5\x88\x9D\xE6\x81\x8B\n",
        "text/plain; charset=utf-8");
    auto details =
        Gnudb().details(QStringLiteral("#GNU:misc/00c0ffee"), Prefs::sourceOptions(), nullptr);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->artist(), QString::fromUtf8("宇多田ヒカル"));
    EXPECT_EQ(details->album(), QStringLiteral("First Love"));
    EXPECT_EQ(details->year(), QStringLiteral("1999"));
    EXPECT_EQ(titlesOf(*details),
              (QStringList{QStringLiteral("Automatic"), QString::fromUtf8("初恋")}));
}

TEST_F(FreeDBTest, RecordFromARefusedHostEndsAtTheTimeLimit) {
    // No progress object to cancel through: only the time limit ends the wait.
    setBase(Gnudb::kBaseURLKey, QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()));
    LogCapture log;
    EXPECT_FALSE(
        Gnudb().details(QStringLiteral("#GNU:rock/0a0b0c0d"), Prefs::sourceOptions(), nullptr));
    EXPECT_TRUE(log.contains(QStringLiteral("GrabWebPage error 5")));
}

TEST_F(FreeDBTest, GnudbHasNoSongSearch) {
    LogCapture log;
    TrackInfoArray hits;
    Gnudb().searchSongs(hits, QStringLiteral("Björk / Jóga"), std::nullopt, Prefs::sourceOptions(),
                        nullptr);
    EXPECT_EQ(hits.count(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("Here I am")));
    EXPECT_TRUE(targets().empty());
}

} // namespace
