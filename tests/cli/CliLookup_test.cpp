// trovix-cli against a gnudb served by a loopback server: the chosen web hit
// is saved, and the search saved with it runs again at the next opening.
#include "cli/CliRun.h"
#include "support/LoopbackServer.h"

namespace {

const char* kSearchPage = "<html><body>\n"
                          "<a href=\"%1/cd/rock0a0b0c0d\"><b>The Band / The Album</b></a><br>\n"
                          "year: 1997, genre: Alternative<br>\n"
                          "<a href=\"%1/gnudb/rock/0a0b0c0d\">Details</a><br>\n"
                          "</body></html>";

const char* kRecord = "# xmcd\n"
                      "DISCID=0a0b0c0d\n"
                      "DTITLE=The Band / The Album\n"
                      "DYEAR=1997\n"
                      "DGENRE=Alternative\n"
                      "TTITLE0=One\n"
                      "TTITLE1=Two\n"
                      "TTITLE2=Three\n"
                      "EXTD=\n";

QStringList gnudbOnly(const LoopbackServer& server) {
    return {"--set", "SearchAMG=NO",         "--set", "SearchGOOG=NO",
            "--set", "SearchFreeDB=NO",      "--set", "SearchGNUDB=YES",
            "--set", "SearchForCoverArt=NO", "--set", "GnudbBaseURL=" + server.baseUrl(),
            "--json"};
}

} // namespace

TEST(CliLookup, WebHitIsAppliedSavedAndFoundAgainByItsKey) {
    LoopbackServer server;
    const std::string page = QString::fromLatin1(kSearchPage).arg(server.baseUrl()).toStdString();
    server.handle("/search/.*", [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html");
    });
    server.serve("/gnudb/rock/0a0b0c0d", kRecord, "text/plain");

    CliEnv env;
    const QString dir = env.root() + "/Album";
    QDir().mkpath(dir);
    // Tags that agree with the disc's year and genre: the web hit scores the
    // full 100 and stays ahead of the hits made from the folder.
    ASSERT_TRUE(
        writeTrack(dir, {"a.mp3", "two", 2, 0, "the band", "the album", "1997", "Alternative"}));
    ASSERT_TRUE(
        writeTrack(dir, {"b.mp3", "one", 1, 0, "the band", "the album", "1997", "Alternative"}));

    CliResult r = env.run(QStringList{"open", dir} + gnudbOnly(server) +
                          QStringList{"--set", "RenameAlbums=NO", "--save", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonObject json = r.json();
    ASSERT_FALSE(json["hits"].toArray().isEmpty());
    const QJsonObject best = json["hits"].toArray()[0].toObject();
    EXPECT_EQ(best["key"].toString(), "#GNU:rock/0a0b0c0d");
    EXPECT_EQ(best["source"].toString(), "gnudb");
    EXPECT_EQ(best["tracks"].toInt(), 3);
    // Two files for three titles: the distance says so first.
    EXPECT_EQ(best["parts"].toArray()[0].toObject()["why"].toString(),
              "2 files, 3 tracks: 1 missing");
    EXPECT_GT(best["distance"].toDouble(), 0.1);
    EXPECT_EQ(json["chosenHit"].toInt(-1), 0);
    EXPECT_EQ(json["album"].toObject()["artist"].toString(), "The Band");
    EXPECT_EQ(json["album"].toObject()["album"].toString(), "The Album");
    EXPECT_TRUE(alertTitles(json).contains("Missing Track"));
    EXPECT_TRUE(json["saved"].toBool());
    EXPECT_EQ(filesIn(dir), (QStringList{"01-One.mp3", "02-Two.mp3"}));
    const ReadTags one = readTags(dir + "/01-One.mp3");
    EXPECT_EQ(one.artist, "The Band");
    EXPECT_EQ(one.album, "The Album");
    EXPECT_EQ(one.year, 1997u);
    EXPECT_EQ(one.track, 1u);
    auto file = MusicFile::newMusicFileWithPath(dir + "/02-Two.mp3");
    ASSERT_TRUE(file && file->customTag());
    EXPECT_EQ(file->customTag()->iadbKey(), "#GNU:rock/0a0b0c0d");
    EXPECT_EQ(file->customTag()->iadbSearchTerms(), "The Band / The Album");

    // Reopening runs the saved search on the key's site, even with that site
    // switched off for ordinary look-ups.
    server.clearRequests();
    QStringList args = QStringList{"open", dir} + gnudbOnly(server);
    args.replaceInStrings("SearchGNUDB=YES", "SearchGNUDB=NO");
    r = env.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const std::vector<std::string> targets = server.targets();
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.front(), "/search/The%20Band%20/%20The%20Album");
    json = r.json();
    EXPECT_EQ(json["hits"].toArray()[0].toObject()["key"].toString(), "#GNU:rock/0a0b0c0d");
    EXPECT_EQ(json["chosenHit"].toInt(-1), 0);
}
