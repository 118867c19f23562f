// trovix-cli against a gnudb served by a loopback server: the chosen web hit
// is saved, and the search saved with it runs again at the next opening.
#include "cli/CliRun.h"
#include "media/MusicFileFactory.h"
#include "support/LoopbackServer.h"

namespace {

const char* kSearchPage = "<html><body>\n"
                          "<a href=\"%1/cd/rock0a0b0c0d\"><b>The Band / The Album</b></a><br>\n"
                          "year: 1997, genre: Alternative<br>\n"
                          "<a href=\"%1/gnudb/rock/0a0b0c0d\">Details</a><br>\n"
                          "</body></html>";

const char* kGnudbRecord = "# xmcd\n"
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
    server.serve("/gnudb/rock/0a0b0c0d", kGnudbRecord, "text/plain");

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
    auto file = MusicFileFactory::newMusicFileWithPath(dir + "/02-Two.mp3");
    ASSERT_TRUE(file && file->readTags().custom);
    EXPECT_EQ(file->readTags().custom->resultKey(), "#GNU:rock/0a0b0c0d");
    EXPECT_EQ(file->readTags().custom->savedSearchTerms(), "The Band / The Album");

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

// Offline, each source says once, in words, that it could not connect; the
// web's debug lines are for --verbose.
TEST(CliLookup, AnUnreachableSourceIsReportedOnceInWords) {
    CliEnv env;
    const QString dir = env.root() + "/Album";
    QDir().mkpath(dir);
    ASSERT_TRUE(writeTrack(dir, {"a.mp3", "one", 1, 0, "the band", "the album"}));
    // --verbose keeps debug copies too: not in the shared /tmp.
    QTemporaryDir dumps;
    qputenv("TROVIX_DEBUG_DIR", QFile::encodeName(dumps.path()));
    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose);
        QStringList args = {"open",  dir,
                            "--set", "SearchAMG=NO",
                            "--set", "SearchGOOG=NO",
                            "--set", "SearchFreeDB=NO",
                            "--set", "SearchForCoverArt=NO",
                            "--set", "SearchMB=YES",
                            "--set", "MusicBrainzBaseURL=http://127.0.0.1:9",
                            "--set", "SearchGNUDB=YES",
                            "--set", "GnudbBaseURL=http://127.0.0.1:7"};
        if (verbose) args << "--verbose";
        const CliResult r = env.run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString err = QString::fromUtf8(r.err);
        EXPECT_EQ(err.count("MusicBrainz: could not connect: Couldn't connect to server"), 1)
            << r.err.toStdString();
        EXPECT_EQ(err.count("gnudb: could not connect: "), 1) << r.err.toStdString();
        EXPECT_EQ(err.contains("GrabWebPage"), verbose) << r.err.toStdString();
    }
    qunsetenv("TROVIX_DEBUG_DIR");
}

// A disc database answering with controls, overrides, NUL and dots in every
// field, and tags that hold escape sequences: the table shows what is left
// unprintable escaped instead of sending it to the terminal, and the album is
// saved with clean names and tags in a folder that is not hidden.
TEST(CliLookup, HostileTextNeverReachesNamesTagsOrTheTerminal) {
    using namespace std::string_literals;
    LoopbackServer server;
    const std::string base = server.baseUrl().toStdString();
    server.handle("/search/.*", [base](const httplib::Request&, httplib::Response& res) {
        res.set_content("<a href=\""s + base +
                            "/cd/x\"><b>../../..\x1b[2J / The\xE2\x80\xAE Album"
                            "</b></a><br>\nyear: 1997, genre: Alternative<br>\n<a href=\"" +
                            base + "/gnudb/rock/0a0b0c0d\">Details</a><br>\n",
                        "text/html");
    });
    server.serve("/gnudb/rock/0a0b0c0d",
                 "DTITLE=../../..\x1b]0;owned\x07 / The Album\nDYEAR=1997\nDGENRE=Alternative\n"
                 "TTITLE0=Closing\0Time\nTTITLE1=First\tLight\n"s,
                 "text/plain");

    CliEnv env;
    const QString library = env.root() + "/library";
    const QString dir = library + "/Album";
    QDir().mkpath(dir);
    ASSERT_TRUE(
        writeTrack(dir, {"a.mp3", "one\x1b[2J\r", 1, 0, "x", "The Album", "1997", "Alternative"}));
    ASSERT_TRUE(writeTrack(
        dir, {"b.m4a", "two\xE2\x80\xAE", 2, 0, "x", "The Album", "1997", "Alternative"}));
    const QStringList args = QStringList{"open", dir} + gnudbOnly(server).mid(0, 12);

    const CliResult shown = env.run(args);
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_FALSE(shown.out.contains('\x1b'));
    EXPECT_FALSE(shown.out.contains('\r'));
    EXPECT_TRUE(shown.out.contains("one\\x1B[2J\\x0D")) << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains("two\\u202E")) << shown.out.toStdString();

    // The gnudb hit ranks third, behind the folder's own two.
    const CliResult saved = env.run(args + QStringList{"--choose", "3", "--save", "--yes"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    const QStringList folders =
        QDir(library).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    ASSERT_EQ(folders.size(), 1);
    EXPECT_FALSE(folders[0].startsWith('.')) << folders[0].toStdString();
    const QString album = library + "/" + folders[0];
    EXPECT_EQ(filesIn(album), (QStringList{"01-ClosingTime.mp3", "02-First Light.m4a"}));
    const ReadTags one = readTags(album + "/01-ClosingTime.mp3");
    const ReadTags two = readTags(album + "/02-First Light.m4a");
    EXPECT_EQ(one.title, "ClosingTime");
    EXPECT_EQ(two.title, "First Light");
    EXPECT_FALSE(one.artist.contains(QChar(0x1b))) << one.artist.toStdString();
    EXPECT_EQ(two.album, "The Album");
}

// Debug copies are written when asked for (here by TROVIX_DEBUG_DIR), each
// within its cap, and the copies of an earlier run go when the next starts.
TEST(CliLookup, DumpsGoToTheAskedFolderAndAnEarlierRunsAreRemoved) {
    LoopbackServer server;
    const std::string page = QString::fromLatin1(kSearchPage).arg(server.baseUrl()).toStdString();
    server.handle("/search/.*", [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page + std::string(3 * 1024 * 1024, ' '), "text/html");
    });
    server.serve("/gnudb/rock/0a0b0c0d", kGnudbRecord, "text/plain");
    QTemporaryDir dumps;
    QFile earlier(dumps.filePath("Trovix_GnuDB_999999.htm"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.close();

    CliEnv env;
    const QString dir = env.root() + "/Album";
    QDir().mkpath(dir);
    ASSERT_TRUE(writeTrack(dir, {"a.mp3", "one", 1, 0}));
    qputenv("TROVIX_DEBUG_DIR", QFile::encodeName(dumps.path()));
    const CliResult r = env.run(QStringList{"open", dir} + gnudbOnly(server));
    qunsetenv("TROVIX_DEBUG_DIR");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    const QFileInfoList left = QDir(dumps.path()).entryInfoList(QDir::Files);
    EXPECT_FALSE(earlier.exists());
    ASSERT_FALSE(left.isEmpty());
    for (const QFileInfo& dump : left) {
        EXPECT_TRUE(dump.fileName().startsWith("Trovix_GnuDB_")) << dump.fileName().toStdString();
        EXPECT_LE(dump.size(), 1024 * 1024);
    }
}
