// trovix-cli library over small trees of album folders, looked up in a
// loopback MusicBrainz: what a plan and a save touch, the review queue, a
// run killed halfway and run again, and a state database that cannot be used.
#include "cli/CliRun.h"
#include "support/LibraryFixture.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

const FixtureRelease kFirst = FixtureRelease::generated(1, 4, "Anna Ray", "First Light");
const FixtureRelease kSecond = FixtureRelease::generated(2, 5, "Bo Kettle", "Harbor Songs");
const FixtureRelease kThird = FixtureRelease::generated(3, 3, "Cora Vale", "Night Trains");

// Every file under `root` by relative path, with a hash of its bytes.
QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            files.insert(path.mid(root.size()),
                         QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
    }
    return files;
}

// By folder: folders finish in any order.
QList<QJsonObject> jsonLines(const QByteArray& out) {
    QList<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n'))
        if (!line.trimmed().isEmpty()) lines << QJsonDocument::fromJson(line).object();
    std::sort(lines.begin(), lines.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a["folder"].toString() < b["folder"].toString();
    });
    return lines;
}

QMap<QString, QString> statusByFolder(const QList<QJsonObject>& lines) {
    QMap<QString, QString> by;
    for (const QJsonObject& o : lines)
        by.insert(QFileInfo(o["folder"].toString()).fileName(), o["status"].toString());
    return by;
}

QJsonObject counts(const CliEnv& env, const QString& root) {
    const CliResult r = env.run({"library", root, "--status", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object()["counts"].toObject();
}

class CliLibrary : public ::testing::Test {
protected:
    QString root() const { return env.root() + "/Music Library"; }
    QStringList library(const QStringList& more) const {
        return QStringList{"library", root()} + mb.settings() + QStringList{"--json"} + more;
    }

    CliEnv env;
    LoopbackMusicBrainz mb{{kFirst, kSecond, kThird}};
};

} // namespace

TEST_F(CliLibrary, PlanChangesNothingAndRunsOnlyWhatChanged) {
    ASSERT_TRUE(writeAlbumFolder(root() + "/Anna Ray/First Light", kFirst));
    ASSERT_TRUE(writeAlbumFolder(root() + "/Bo Kettle - Harbor Songs", kSecond, {.skipSong = 2}));
    // A box set: two discs of one album count once.
    ASSERT_TRUE(writeAlbumFolder(root() + "/Cora Vale/Night Trains/CD1", kThird));
    ASSERT_TRUE(writeAlbumFolder(root() + "/Cora Vale/Night Trains/CD2", kThird));
    const QMap<QString, QByteArray> before = snapshot(root());

    CliResult r = env.run(library({}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(snapshot(root()), before);
    const QList<QJsonObject> lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    for (const QJsonObject& line : lines) {
        EXPECT_EQ(line["status"].toString(), "looked up");
        EXPECT_TRUE(line["distance"].isDouble()) << line["folder"].toString().toStdString();
    }
    const QJsonObject perfect = lines[0];
    EXPECT_EQ(perfect["bestHit"].toString(), "Anna Ray / First Light");
    EXPECT_LT(perfect["distance"].toDouble(), 0.05);
    EXPECT_TRUE(perfect["changes"].toString().contains("file names"))
        << perfect["changes"].toString().toStdString();
    const QJsonObject missing = lines[1];
    EXPECT_GT(missing["distance"].toDouble(), 0.1);
    EXPECT_EQ(missing["parts"].toArray()[0].toObject()["why"].toString(),
              "4 files, 5 tracks: 1 missing");
    EXPECT_EQ(lines[2]["albums"].toArray().size(), 2);
    // One search and one release look-up per album; a plan saves no cover.
    EXPECT_EQ(mb.searches(), 4);
    EXPECT_EQ(mb.lookups(), 4);
    EXPECT_EQ(mb.covers(), 0);

    // Nothing is looked up again but the folder that changed.
    ASSERT_TRUE(
        QFile::remove(root() + "/Anna Ray/First Light/04 " + kFirst.songs[3].title + ".mp3"));
    r = env.run(library({}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(statusByFolder(jsonLines(r.out)).keys(), QStringList{"First Light"});
    EXPECT_EQ(counts(env, root())["looked up"].toInt(), 3);
}

TEST_F(CliLibrary, SaveSavesTheSureFoldersAndQueuesTheRestForReview) {
    ASSERT_TRUE(writeAlbumFolder(root() + "/Anna Ray/First Light", kFirst));
    ASSERT_TRUE(writeAlbumFolder(root() + "/Bo Kettle - Harbor Songs", kSecond, {.skipSong = 1}));
    ASSERT_TRUE(writeAlbumFolder(root() + "/Unknown/Nothing Alike",
                                 FixtureRelease::generated(9, 3, "Nobody", "Nothing Alike")));
    const QMap<QString, QByteArray> before = snapshot(root());

    CliResult r = env.run(library({"--save", "--set", "RenameAlbums=NO"}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QMap<QString, QString> status = statusByFolder(jsonLines(r.out));
    EXPECT_EQ(status, (QMap<QString, QString>{{"First Light", "saved"},
                                              {"Bo Kettle - Harbor Songs", "queued"},
                                              {"Nothing Alike", "queued"}}))
        << r.out.toStdString();
    EXPECT_EQ(filesIn(root() + "/Anna Ray/First Light").first(),
              "01-" + kFirst.songs[0].title + ".mp3");
    const QMap<QString, QByteArray> after = snapshot(root());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!it.key().startsWith("/Anna Ray")) {
            EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
        }

    r = env.run({"library", root(), "--review"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("4 files, 5 tracks: 1 missing")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("no web hit")) << r.out.toStdString();

    // The queued album saved with its web hit as the review numbers it, and
    // the one nothing matched skipped.
    r = env.run({"library", root(), "--review", "--json"});
    int number = 0;
    for (const QJsonObject& queued : jsonLines(r.out))
        for (const QJsonValue& hit : queued["albums"].toArray().at(0)["hits"].toArray())
            if (hit["source"].toString() == "MusicBrainz" &&
                queued["folder"].toString().endsWith("Harbor Songs"))
                number = hit["number"].toInt();
    ASSERT_GT(number, 0) << r.out.toStdString();
    r = env.run(QStringList{"library", root(), "--apply", root() + "/Bo Kettle - Harbor Songs",
                            "--choose", QString::number(number), "--set", "RenameAlbums=NO"} +
                mb.settings());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        readTags(root() + "/Bo Kettle - Harbor Songs/01-" + kSecond.songs[0].title + ".mp3").album,
        "Harbor Songs");
    r = env.run({"library", root(), "--skip", root() + "/Unknown/Nothing Alike"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject c = counts(env, root());
    EXPECT_EQ(c["saved"].toInt(), 2);
    EXPECT_EQ(c["skipped"].toInt(), 1);
    EXPECT_EQ(c["queued"].toInt(), 0);
}

TEST_F(CliLibrary, AKilledSaveGoesOnWhereItStoppedAndSavesEachFolderOnce) {
    const QList<FixtureRelease> releases{kFirst, kSecond, kThird};
    for (const FixtureRelease& r : releases)
        ASSERT_TRUE(writeAlbumFolder(root() + "/" + r.artist + " - " + r.title, r));

    // One folder at a time, so the kill lands in the second folder's save.
    const QStringList args = library({"--save"});
    const CliResult killed = env.runSignalledAt(args, "tags-journal", 2, 9);
    EXPECT_TRUE(killed.killed) << killed.err.toStdString();
    const QList<QJsonObject> first = jsonLines(killed.out);
    EXPECT_EQ(first.size(), 1) << killed.out.toStdString();

    const CliResult again = env.run(args);
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    const QList<QJsonObject> second = jsonLines(again.out);
    QStringList folders;
    for (const QJsonObject& o : first + second) {
        EXPECT_EQ(o["status"].toString(), "saved") << o["folder"].toString().toStdString();
        folders << o["folder"].toString();
    }
    folders.removeDuplicates();
    EXPECT_EQ(folders.size(), 3);
    EXPECT_EQ(first.size() + second.size(), 3);
    // The folders were renamed by the template, each once, and the state
    // holds one row each.
    const QStringList dirs = QDir(root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(dirs.size(), 3) << dirs.join(" | ").toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(dirs[i].startsWith(releases[i].artist + "-" + releases[i].year + "-" +
                                       releases[i].title))
            << dirs[i].toStdString();
    const QJsonObject c = counts(env, root());
    EXPECT_EQ(c["saved"].toInt(), 3);
    EXPECT_EQ(c["new"].toInt(), 0);
}

TEST_F(CliLibrary, AReadOnlyFolderFailsWithItsReasonAndTheRunGoesOn) {
    ASSERT_TRUE(writeAlbumFolder(root() + "/A - Locked", kFirst));
    ASSERT_TRUE(writeAlbumFolder(root() + "/B - Open", kSecond));
    const bool asRoot = ::geteuid() == 0;
    // Root may write anything: the program then runs as "nobody".
    QDirIterator it(env.root(), QDir::AllEntries | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QDir().mkpath(env.state());
    ::chmod(QFile::encodeName(env.root()).constData(), 0777);
    ::chmod(QFile::encodeName(env.state()).constData(), 0777);
    while (it.hasNext()) {
        const QString p = it.next();
        const bool locked = p.contains("/A - Locked");
        ::chmod(QFile::encodeName(p).constData(),
                it.fileInfo().isDir() ? (locked ? 0555 : 0777) : (locked ? 0444 : 0666));
        // The open folder is the program's own, so a save may replace its files.
        if (asRoot && !locked && p.contains("/B - Open")) {
            ASSERT_EQ(::chown(QFile::encodeName(p).constData(), 65534, 65534), 0);
        }
    }
    const QStringList args = library({"--save", "--set", "RenameAlbums=NO"});
    const CliResult r = asRoot ? env.runAsNobody(args) : env.run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QJsonObject> lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines[0]["status"].toString(), "failed");
    EXPECT_TRUE(lines[0]["reason"].toString().startsWith("Read-only Files"))
        << lines[0]["reason"].toString().toStdString();
    EXPECT_EQ(lines[1]["status"].toString(), "saved")
        << lines[1]["reason"].toString().toStdString();
}

TEST_F(CliLibrary, AStateFileThatCannotBeUsedStopsTheRunWithAClearMessage) {
    ASSERT_TRUE(writeAlbumFolder(root() + "/Anna Ray/First Light", kFirst));
    const QString file = env.state() + "/trovix/library.sqlite";
    struct Row {
        const char* name;
        std::function<void()> spoil;
        const char* message;
    } rows[] = {
        {"damaged",
         [&] {
             QDir().mkpath(env.state() + "/trovix");
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(8192, 'x'));
         },
         "the library state file is damaged"},
        {"locked", [] {}, "the library state is locked by another program"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(file);
        row.spoil();
        // A second program holds the database in an exclusive transaction.
        std::optional<QSqlQuery> holder;
        const QString connection = QStringLiteral("holder-%1").arg(row.name);
        if (QString(row.name) == "locked") {
            ASSERT_EQ(env.run({"library", root(), "--status"}).exitCode, 0);
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
            db.setDatabaseName(file);
            ASSERT_TRUE(db.open());
            holder.emplace(db);
            ASSERT_TRUE(holder->exec("BEGIN EXCLUSIVE"));
        }
        const QMap<QString, QByteArray> before = snapshot(root());
        const CliResult r = env.run(library({"--save"}));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(row.message)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(file.toUtf8())) << r.err.toStdString();
        EXPECT_EQ(snapshot(root()), before);
        if (holder) {
            holder->exec("ROLLBACK");
            holder.reset();
            QSqlDatabase::database(connection).close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
}
