// Saving through trovix-cli --json on real files in temporary folders.
#include "cli/CliRun.h"
#include "media/MusicFileFactory.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// An album of two titled MP3 files in env.root()/NAME.
QString twoTrackAlbum(const CliEnv& env, const QString& name = "Album") {
    const QString dir = env.root() + "/" + name;
    QDir().mkpath(dir);
    EXPECT_TRUE(writeTrack(dir, {"a.mp3", "First Song", 1, 2}));
    EXPECT_TRUE(writeTrack(dir, {"b.mp3", "Second Song", 2, 2}));
    return dir;
}

QJsonObject lastAlert(const QJsonObject& json) {
    const QJsonArray alerts = json["alerts"].toArray();
    return alerts.isEmpty() ? QJsonObject() : alerts.last().toObject();
}

QStringList buttons(const QJsonObject& alert) {
    QStringList b;
    for (const QJsonValue& v : alert["buttons"].toArray())
        b << v.toString();
    return b;
}

void chmodPath(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

} // namespace

TEST(CliSave, ChecksStopTheSaveInOrderWithTheirMessages) {
    CliEnv env;
    const QString dir = twoTrackAlbum(env);
    struct Row {
        QStringList extra;
        QString title;
        QString message;
        QStringList buttons;
    };
    const QList<Row> rows = {
        // Both empty: only the artist is reported.
        {{"--artist", "", "--album", ""},
         "Missing Field",
         "The Artist field must be filled in.",
         {"OK"}},
        {{"--album", ""}, "Missing Field", "The Album field must be filled in.", {"OK"}},
        // Two albums in the box set hold more titles than the folder has files.
        {{"--box-set", "1,2"},
         "Missing Track",
         "You are missing one or more tracks of this CD. Do you wish to retag the files that you "
         "have?",
         {"Yes", "No"}},
        {{"--genre", QString::fromUtf8("Rock \u2713")},
         "Invalid Genre",
         "The Genre must not contain any Unicode characters.",
         {"OK"}},
    };
    for (const Row& row : rows) {
        const CliResult r = env.run(openArgs(dir, row.extra + QStringList{"--save"}));
        const std::string what = row.extra.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 1) << what;
        const QJsonObject json = r.json();
        EXPECT_FALSE(json["saved"].toBool()) << what;
        const QJsonObject alert = lastAlert(json);
        EXPECT_EQ(alert["title"].toString(), row.title) << what;
        EXPECT_EQ(alert["message"].toString(), row.message) << what;
        EXPECT_EQ(buttons(alert), row.buttons) << what;
        EXPECT_FALSE(alertTitles(json).contains("Missing Field") && row.title != "Missing Field")
            << what;
        EXPECT_EQ(filesIn(dir), (QStringList{"a.mp3", "b.mp3"})) << what << ": nothing written";
        EXPECT_TRUE(r.err.contains(row.title.toUtf8())) << what;
    }
    EXPECT_EQ(readTags(dir + "/a.mp3").genre, "Rock");

    // An accented Latin genre is accepted.
    const CliResult r =
        env.run(openArgs(dir, {"--genre", QString::fromUtf8("M\u00fasica"), "--save"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.json()["saved"].toBool());
    EXPECT_EQ(readTags(r.json()["tracks"].toArray()[0].toObject()["path"].toString()).genre,
              QString::fromUtf8("M\u00fasica"));
}

TEST(CliSave, QuestionsNeedYesAndYesSkipsTheLaterChecks) {
    CliEnv env;
    const QString dir = twoTrackAlbum(env);
    // Without --yes the question is printed and nothing is saved.
    CliResult r = env.run(openArgs(dir, {"--box-set", "1,2", "--save"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(lastAlert(r.json())["title"].toString(), "Missing Track");

    // With it, "Yes" saves the files there are; the placeholders stay unwritten.
    r = env.run(openArgs(dir, {"--box-set", "1,2", "--save", "--yes"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject json = r.json();
    EXPECT_TRUE(json["saved"].toBool());
    EXPECT_FALSE(alertTitles(json).contains("Missing Field"));
    int real = 0;
    for (const QJsonValue& t : json["tracks"].toArray()) {
        if (t["placeholder"].toBool()) continue;
        ++real;
        EXPECT_TRUE(QFileInfo::exists(t["path"].toString())) << t["path"].toString().toStdString();
    }
    EXPECT_EQ(real, 2);
}

TEST(CliSave, WrittenTagsReadBackThroughTagLibAndReopenRestoresVariousArtists) {
    CliEnv env;
    const QString dir = env.root() + "/mixed";
    QDir().mkpath(dir);
    ASSERT_TRUE(writeTrack(dir, {"x1.mp3", "one", 1, 3, "the band", "the album", "1999"}));
    ASSERT_TRUE(writeTrack(dir, {"x2.m4a", "two", 2, 3}));
    ASSERT_TRUE(writeTrack(dir, {"x3.mp3", "three", 3, 3}));

    CliResult r = env.run(openArgs(dir, {"--artist", "Band, The", "--album", "An Album", "--year",
                                         "2005", "--genre", "Jazz", "--save", "--yes"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonObject json = r.json();
    ASSERT_TRUE(json["saved"].toBool());
    const QString folder = json["folder"].toString();
    // MP3 and M4A bit rates differ: "(MBR)".
    EXPECT_EQ(QFileInfo(folder).fileName(), "Band, The-2005-An Album(MBR)");
    const QJsonArray tracks = json["tracks"].toArray();
    ASSERT_EQ(tracks.size(), 3);
    for (int i = 0; i < tracks.size(); ++i) {
        const QJsonObject t = tracks[i].toObject();
        EXPECT_TRUE(t["path"].toString().startsWith(folder + "/"));
        EXPECT_EQ(t["file"].toString(), t["newFileName"].toString());
        const ReadTags tags = readTags(t["path"].toString());
        ASSERT_TRUE(tags.ok) << t["path"].toString().toStdString();
        EXPECT_EQ(tags.artist, "Band, The");
        EXPECT_EQ(tags.album, "An Album");
        EXPECT_EQ(tags.year, 2005u);
        EXPECT_EQ(tags.genre, "Jazz");
        EXPECT_EQ(tags.title, t["newTitle"].toString());
        EXPECT_EQ(tags.track, unsigned(i + 1));
        EXPECT_EQ(t["status"].toObject()["F"].toString(), "green");
    }

    // The custom tag remembers various-artists mode; the next opening restores it.
    r = env.run(openArgs(folder, {"--various-artists", "--save", "--yes"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString vaFolder = r.json()["folder"].toString();
    for (const QJsonValue& t : r.json()["tracks"].toArray()) {
        const QString path = t["path"].toString();
        if (!path.endsWith(".mp3")) continue;
        const auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file && file->readTags().custom);
        EXPECT_EQ(file->readTags().custom->variousArtist(), "Band, The");
        EXPECT_FALSE(file->readTags().custom->savedSearchTerms().isNull());
    }
    r = env.run(openArgs(vaFolder));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.json()["variousArtists"].toBool());
}

TEST(CliSave, FilesExchangeNamesWithoutCollision) {
    CliEnv env;
    const QString dir = env.root() + "/swap";
    ASSERT_TRUE(writeSwappedNames(dir));
    const QByteArray alphaAudio = mp3AudioPayload(dir + "/02-Beta.mp3");

    const CliResult r = env.run(openArgs(dir, {"--set", "RenameAlbums=NO", "--save"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(alertTitles(r.json()).contains("Duplicate Track Name"));
    EXPECT_EQ(filesIn(dir), (QStringList{"01-Alpha.mp3", "02-Beta.mp3"}));
    EXPECT_EQ(readTags(dir + "/01-Alpha.mp3").title, "Alpha");
    EXPECT_EQ(readTags(dir + "/01-Alpha.mp3").track, 1u);
    EXPECT_EQ(readTags(dir + "/02-Beta.mp3").title, "Beta");
    EXPECT_EQ(mp3AudioPayload(dir + "/01-Alpha.mp3"), alphaAudio);
}

TEST(CliSave, FolderRenameKeepsItsOwnNameAndNeverReplacesAnother) {
    CliEnv env;
    // Already named by the template: nothing to do, no alert.
    const QString same = twoTrackAlbum(env, "The Band-2001-The Album");
    CliResult r = env.run(openArgs(same, {"--save"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json()["folder"].toString(), same);
    EXPECT_FALSE(alertTitles(r.json()).contains("Duplicate Folder Name"));

    // Another folder holds the name: it stays as it is and the alert says so.
    const QString other = twoTrackAlbum(env, "Other");
    QFile marker(same + "/keep.txt");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    r = env.run(openArgs(other, {"--save"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject json = r.json();
    EXPECT_EQ(json["folder"].toString(), other);
    const QJsonObject alert = lastAlert(json);
    EXPECT_EQ(alert["title"].toString(), "Duplicate Folder Name");
    EXPECT_EQ(alert["message"].toString(),
              "A folder named \"The Band-2001-The Album\" already exists! Its name will remain "
              "\"Other\".");
    EXPECT_TRUE(QFileInfo::exists(same + "/keep.txt"));
    // The files got their new names all the same.
    EXPECT_EQ(filesIn(other), (QStringList{"01-First Song.mp3", "02-Second Song.mp3"}));
}

TEST(CliSave, BackupsOfTheSameFolderAndOfShellCharacters) {
    CliEnv env;
    const QString name = "It's \"$HOME\" `x`";
    const QString dir = twoTrackAlbum(env, name);
    QFile odd(dir + "/notes \"$PATH\" $(x).txt");
    ASSERT_TRUE(odd.open(QIODevice::WriteOnly));
    odd.write("kept");
    odd.close();
    const QStringList keepNames = {"--set", "RenameAlbums=NO", "--set", "RenameTracks=NO"};
    for (int i = 0; i < 3; ++i) {
        const CliResult r =
            env.run(openArgs(dir, keepNames + QStringList{"--set", "Backup=YES", "--save"}));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    EXPECT_EQ(QDir(env.backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{name, name + " 1", name + " 2"}));
    QFile copy(env.backups() + "/" + name + " 2/notes \"$PATH\" $(x).txt");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "kept");
    EXPECT_EQ(filesIn(env.backups() + "/" + name), filesIn(dir));

    // "Backup" off: a folder holding an m4p file is backed up all the same.
    const QString protectedDir = env.root() + "/Protected";
    QDir().mkpath(protectedDir);
    ASSERT_TRUE(writeTrack(protectedDir, {"p.mp3", "Song", 1, 2}));
    ASSERT_TRUE(writeM4a(protectedDir + "/q.m4p"));
    const CliResult r = env.run(openArgs(protectedDir, keepNames + QStringList{"--save", "--yes"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(env.backups() + "/Protected/q.m4p"));
}

TEST(CliSave, BackupThatCannotBeMadeStopsTheSaveBeforeAnythingIsWritten) {
    CliEnv env;
    const QString dir = twoTrackAlbum(env);
    // A file where the backups folder should be.
    QFile blocker(env.backups());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const CliResult r = env.run(openArgs(dir, {"--set", "Backup=YES", "--save"}));
    EXPECT_EQ(r.exitCode, 1);
    const QJsonObject alert = lastAlert(r.json());
    EXPECT_EQ(alert["title"].toString(), "Backup Failed");
    EXPECT_EQ(buttons(alert), QStringList{"OK"});
    EXPECT_TRUE(alert["message"].toString().contains(env.backups()));
    EXPECT_EQ(filesIn(dir), (QStringList{"a.mp3", "b.mp3"}));
    EXPECT_TRUE(QFileInfo::exists(dir));
}

TEST(CliSave, ReadOnlyFilesAreAskedAboutOrRefused) {
    CliEnv env;
    const QString dir = twoTrackAlbum(env);
    const bool root = ::geteuid() == 0;
    // The program runs as "nobody" when the tests run as root, who may write
    // anything; the folder tree is opened up for it.
    for (const QString& p : {env.root(), env.config(), env.music(), dir})
        chmodPath(p, 0777);
    chmodPath(env.config() + "/user-dirs.dirs", 0644);
    chmodPath(dir + "/a.mp3", root ? 0644 : 0444);
    chmodPath(dir + "/b.mp3", 0666);
    auto runAs = [&](const QStringList& args) {
        if (!root) return env.run(args);
        return env.runAsNobody(args);
    };

    CliResult r = runAs(openArgs(dir, {"--save"}));
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    QJsonObject alert = lastAlert(r.json());
    EXPECT_EQ(alert["title"].toString(), "Read-only Files");
    EXPECT_EQ(alert["message"].toString(),
              "The grayed-out tracks in the list are not writable. Do you want to tag the "
              "writable ones?");
    EXPECT_EQ(buttons(alert), (QStringList{"Yes", "No"}));
    const QJsonObject grey = r.json()["tracks"].toArray()[0].toObject()["status"].toObject();
    for (const char* letter : {"A", "F", "I", "T", "Num"})
        EXPECT_EQ(grey[letter].toString(), "grey") << letter;

    // "Yes" saves the writable file at once, though the other is read-only.
    r = runAs(openArgs(dir, {"--set", "RenameAlbums=NO", "--save", "--yes"}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(filesIn(dir), (QStringList{"02-Second Song.mp3", "a.mp3"}));

    chmodPath(dir + "/02-Second Song.mp3", root ? 0644 : 0444);
    r = runAs(openArgs(dir, {"--save", "--yes"}));
    EXPECT_EQ(r.exitCode, 1);
    alert = lastAlert(r.json());
    EXPECT_EQ(alert["title"].toString(), "Read-only Files");
    EXPECT_EQ(alert["message"].toString(),
              "All the files are read-only. They can't be re-tagged unless you copy them to a "
              "writable drive.");
    EXPECT_EQ(buttons(alert), QStringList{"OK"});
}

TEST(CliSave, TextOutputShowsStatusMarkersAndHits) {
    CliEnv env;
    const QString dir = twoTrackAlbum(env);
    QStringList args = openArgs(dir);
    args.removeAll("--json");
    const CliResult r = env.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains("Artist: The Band")) << out.toStdString();
    EXPECT_TRUE(out.contains("A= F! I= T= Num=")) << out.toStdString();
    EXPECT_TRUE(out.contains("01-First Song.mp3"));
    EXPECT_TRUE(out.contains("#TAG:"));
    EXPECT_TRUE(out.contains("Alert: No Data"));
    // Not a terminal: progress as plain lines.
    EXPECT_TRUE(r.err.contains("Scanning files...\n")) << r.err.toStdString();
}

TEST(CliSave, CleanUpOnlyNamesFilesByTheirPositionAndABoxSetIsAppliedOnce) {
    CliEnv env;
    const QString dir = twoTrackAlbum(env);
    // No hit is applied, so nothing reorders the list: the file names must
    // still number the files as the track tags do.
    CliResult r =
        env.run(openArgs(dir, {"--clean-up-only", "--set", "RenameAlbums=NO", "--save", "--yes"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(filesIn(dir), (QStringList{"01-First Song.mp3", "02-Second Song.mp3"}));
    EXPECT_EQ(readTags(dir + "/02-Second Song.mp3").track, 2u);

    // Two discs (the tag hit and the file-name hit, two titles each) give four
    // rows, not the last disc's titles a second time.
    r = env.run(openArgs(dir, {"--box-set", "1,2"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray tracks = r.json()["tracks"].toArray();
    ASSERT_EQ(tracks.size(), 4);
    EXPECT_EQ(tracks[0].toObject()["newTitle"].toString(), "First Song");
    EXPECT_TRUE(tracks[3].toObject()["placeholder"].toBool());
}
