#include "cli/CliRun.h"
#include "support/Mp3Fixture.h"

#include <QDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

TEST(CliBasics, PrefsListStoreAndOverride) {
    CliEnv env;
    CliResult r = env.run({"prefs"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("RenameTracks = YES\n"));
    EXPECT_TRUE(r.out.contains("TrackFileNameFormat = %N-%T\n"));

    // --set is for this run only.
    r = env.run({"--set", "RenameTracks=NO", "prefs"});
    EXPECT_TRUE(r.out.contains("RenameTracks = NO\n"));
    r = env.run({"prefs"});
    EXPECT_TRUE(r.out.contains("RenameTracks = YES\n"));

    // "prefs KEY VALUE" is stored.
    r = env.run({"prefs", "MaxEntriesToFetch", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = env.run({"prefs", "Backup", "yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = env.run({"prefs"});
    EXPECT_TRUE(r.out.contains("MaxEntriesToFetch = 3\n"));
    EXPECT_TRUE(r.out.contains("Backup = YES\n"));
}

TEST(CliBasics, PrefsCheckPrintsTheAlertThePreferencesWindowWouldShow) {
    CliEnv env;
    struct Row {
        QStringList sets;
        int exitCode;
        QByteArray shown;
    };
    const Row rows[] = {
        {{}, 0, "unique name for each track"},
        {{"TrackFileNameFormat=%T"},
         1,
         "Alert: Possible Duplicate Track Names\n  The Track Name Template \"%T\" will only"},
        {{"TrackFileNameFormat=%A"}, 1, "Alert: Invalid Track Name Template\n"},
        {{"VA-TrackFileNameFormat=%Y"}, 1, "Template \"%Y\" will not produce"},
        {{"TrackFileNameFormat=%A", "RenameTracks=NO"}, 0, "unique name for each track"},
    };
    for (const Row& row : rows) {
        QStringList args;
        for (const QString& set : row.sets)
            args << "--set" << set;
        const CliResult r = env.run(args << "prefs"
                                         << "--check");
        EXPECT_EQ(r.exitCode, row.exitCode) << row.sets.join(' ').toStdString();
        EXPECT_TRUE(r.out.contains(row.shown)) << r.out.toStdString();
    }
}

TEST(CliBasics, BadUsageExitsWithTwo) {
    CliEnv env;
    const QList<QStringList> rows = {
        {},
        {"frobnicate"},
        {"open"},
        {"open", "a", "b"},
        {"open", "x", "--choose", "0"},
        {"open", "x", "--choose"},
        {"open", "x", "--box-set", "1,,2"},
        {"open", "x", "--reverse"},
        {"open", "x", "--what"},
        {"prefs", "NoSuchKey", "1"},
        {"prefs", "MaxEntriesToFetch", "many"},
        {"prefs", "Backup"},
        {"prefs", "--json"},
        {"prefs", "Backup", "YES", "--check"},
        {"open", "x", "--check"},
        {"--set", "Backup", "prefs"},
    };
    for (const QStringList& args : rows) {
        const CliResult r = env.run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST(CliBasics, DemoAlbumHoldsReadableFilesWithInconsistentTags) {
    CliEnv env;
    const QString dir = env.root() + "/demo";
    CliResult r = env.run({"demo-album", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList files = QDir(dir).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 5);
    QStringList artists;
    int m4a = 0;
    for (const QString& f : files) {
        TagLib::FileRef ref(QFile::encodeName(dir + "/" + f).constData());
        ASSERT_FALSE(ref.isNull()) << f.toStdString();
        ASSERT_NE(ref.tag(), nullptr);
        artists << QString::fromStdString(ref.tag()->artist().to8Bit(true));
        m4a += f.endsWith(".m4a");
    }
    EXPECT_EQ(m4a, 2);
    artists.removeDuplicates();
    EXPECT_GT(artists.size(), 1) << "the demo's tags disagree";
    // A second build into the same, now full, folder is refused.
    r = env.run({"demo-album", dir});
    EXPECT_EQ(r.exitCode, 1);
}

// The picture codec (Qt Gui and the libraries behind it) costs more than the
// rest of the program's start, so an opening loads it only for a folder that
// may hold a picture: not for music beside its rip's cue sheet and log.
TEST(CliBasics, ThePictureCodecLoadsOnlyForAFolderThatMayHoldAPicture) {
    const struct {
        const char* companion;
        bool loads;
    } cases[] = {{"album.cue", false}, {"Rip.LOG", false}, {"front.jpg", true}, {"scan.xyz", true}};
    for (const auto& c : cases) {
        CliEnv env;
        env.setEnv("LD_DEBUG", "files"); // the loader names each library it maps
        const QString dir = env.root() + "/album";
        ASSERT_TRUE(QDir().mkpath(dir));
        ASSERT_TRUE(writeSilentMp3(dir + "/01 One.mp3"));
        QFile companion(dir + "/" + c.companion);
        ASSERT_TRUE(companion.open(QIODevice::WriteOnly));
        companion.close();
        const CliResult r = env.run(openArgs(dir));
        EXPECT_EQ(r.exitCode, 0) << c.companion;
        EXPECT_EQ(r.err.contains("trovix_pictures.so"), c.loads) << c.companion;
    }
}

// Text that JSON must escape, or may write as it is, prints as Qt's writer
// writes it (json() compares) and parses back unchanged.
TEST(CliBasics, OddTextInJsonParsesBackUnchanged) {
    const QString titles[] = {
        QStringLiteral("quote \" backslash \\ slash /"),
        QString::fromUtf8("tab\t return\r feed\f back\b bell\a escape\x1b unit\x1f"),
        QString::fromUtf8("delete\x7f caf\xC3\xA9 \xE6\x9D\xB1 \xF0\x9F\x98\x80 \xE2\x80\xAE"),
        QStringLiteral("plain"),
    };
    CliEnv env;
    const QString dir = env.root() + "/odd";
    QDir().mkpath(dir);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(writeTrack(dir, {QStringLiteral("%1.mp3").arg(i), titles[i], i + 1, 4}));
    const QStringList offline = {"--set", "SearchAMG=NO",         "--set", "SearchGOOG=NO",
                                 "--set", "SearchGNUDB=NO",       "--set", "SearchFreeDB=NO",
                                 "--set", "SearchForCoverArt=NO", "--json"};
    const CliResult r = env.run(QStringList{"open", dir} + offline);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray tracks = r.json()["tracks"].toArray();
    ASSERT_EQ(tracks.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tracks[i].toObject()["oldTitle"].toString(), titles[i]) << i;

    const CliResult file = env.run(QStringList{"file", dir + "/2.mp3"} + offline);
    ASSERT_EQ(file.exitCode, 0) << file.err.toStdString();
    EXPECT_EQ(file.json()["fields"].toObject()["title"].toString(), titles[2]);
}
