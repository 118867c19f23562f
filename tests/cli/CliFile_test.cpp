// trovix-cli on single files: song hits from a loopback All Music Guide and
// Google Music, a chosen hit saved and read back, and the checks.
#include "cli/CliRun.h"
#include "support/LoopbackSongWeb.h"

namespace {

QStringList songSites(const LoopbackSongWeb& web) {
    return {"--set", "SearchAMG=YES",         "--set", "SearchGOOG=YES",
            "--set", "SearchGNUDB=YES",       "--set", "SearchFreeDB=YES",
            "--set", "SearchForCoverArt=NO",  "--set", "AMGBaseURL=" + web.baseUrl(),
            "--set", "GoogleBaseURL=" + web.baseUrl(), "--set", "GnudbBaseURL=http://127.0.0.1:9",
            "--set", "FreeDBBaseURL=http://127.0.0.1:9", "--json"};
}

} // namespace

TEST(CliFile, SongHitIsChosenSavedAndReadBack) {
    LoopbackSongWeb web(QStringLiteral("Song Two"));
    web.addAlbum({LoopbackSongWeb::Site::AMG, "a1", "The Band", "The Album", "2001", "Rock",
                  {"One", "Song Two", "Three"}});
    CliEnv env;
    const QString dir = env.root() + "/Loose";
    QDir().mkpath(dir);
    ASSERT_TRUE(writeTrack(dir, {"track.mp3", "Song Two", 0, 0, "The Band", QString(), QString(),
                                 QString()}));

    // Opened without choosing: the file's values stay in the fields.
    CliResult r = env.run(QStringList{"file", dir + "/track.mp3"} + songSites(web));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonObject json = r.json();
    EXPECT_EQ(json["fields"].toObject()["title"].toString(), "Song Two");
    EXPECT_EQ(json["fields"].toObject()["album"].toString(), "");
    EXPECT_EQ(json["chosenHit"].toInt(-1), 0);
    int amg = -1;
    const QJsonArray hits = json["hits"].toArray();
    for (int i = 0; i < hits.size(); ++i)
        if (hits[i].toObject()["key"].toString() == "#AMG:10:a1") amg = i;
    ASSERT_GE(amg, 0) << r.out.toStdString();
    const QJsonObject hit = hits[amg].toObject();
    EXPECT_EQ(hit["source"].toString(), "All Music Guide");
    EXPECT_EQ(hit["track"].toString(), "2/3");
    EXPECT_EQ(hit["status"].toObject()["I"].toString(), "red");
    EXPECT_EQ(hit["status"].toObject()["A"].toString(), "green");
    EXPECT_TRUE(hit["relevance"].isDouble());
    for (const std::string& t : web.targets())
        EXPECT_EQ(t.find("/~cddb"), std::string::npos) << t;

    // "open" on a file is the same document; the chosen hit is saved and
    // renamed by the single-file template.
    r = env.run(QStringList{"open", dir + "/track.mp3", "--choose", QString::number(amg + 1),
                            "--save", "--set", "SF-TrackFileNameFormat=%N %T"} +
                songSites(web));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    json = r.json();
    EXPECT_TRUE(json["saved"].toBool());
    EXPECT_TRUE(alertTitles(json).isEmpty()) << r.out.toStdString();
    const QJsonObject disk = json["onDisk"].toObject();
    EXPECT_EQ(disk["path"].toString(), dir + "/02 Song Two.mp3");
    EXPECT_EQ(disk["album"].toString(), "The Album");
    EXPECT_EQ(disk["track"].toString(), "2");
    EXPECT_EQ(disk["count"].toString(), "3");
    EXPECT_EQ(filesIn(dir), QStringList{"02 Song Two.mp3"});
}

TEST(CliFile, ChecksStopOrWarnTheSave) {
    CliEnv env;
    const QString dir = env.root() + "/Loose";
    QDir().mkpath(dir);
    ASSERT_TRUE(writeTrack(dir, {"a.mp3", "Old", 1, 0}));
    const QStringList offline{"--clean-up-only", "--set", "RenameTracks=NO", "--json", "--save"};

    CliResult r = env.run(QStringList{"file", dir + "/a.mp3", "--track", "1a"} + offline);
    EXPECT_EQ(r.exitCode, 1);
    // A clean-up opening searches nothing, so it also says "No Data".
    EXPECT_EQ(alertTitles(r.json()).last(), "Invalid Track Number");
    EXPECT_EQ(readTags(dir + "/a.mp3").title, "Old");

    // An empty track field is saved as track 0, after the warning.
    r = env.run(QStringList{"file", dir + "/a.mp3", "--track", "", "--title", "New"} + offline);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(alertTitles(r.json()).last(), "Missing Field");
    EXPECT_EQ(readTags(dir + "/a.mp3").title, "New");
    EXPECT_EQ(readTags(dir + "/a.mp3").track, 0u);

    // Backups of one file: a.mp3, then a 1.mp3.
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(env.run(QStringList{"file", dir + "/a.mp3", "--set", "Backup=YES"} + offline)
                      .exitCode,
                  0);
    EXPECT_EQ(filesIn(env.backups()), (QStringList{"a 1.mp3", "a.mp3"}));

    r = env.run({"file", dir + "/a.mp3", "--box-set", "1"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(CliFile, AFileOfNoMusicKindIsRefused) {
    CliEnv env;
    QFile notes(env.root() + "/hostname");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    for (const char* command : {"open", "file"}) {
        const CliResult r = env.run({command, notes.fileName(), "--json"});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_EQ(QString::fromUtf8(r.err),
                  "trovix-cli: " + notes.fileName() + ": not a music file Trovix can tag\n");
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}
