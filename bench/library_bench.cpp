// Prints the figures of library runs (trovix-cli library) on generated music
// libraries:
//
//   library_bench plan [FOLDERS]    (default 1000) album folders of 10 files,
//       MP3, M4A and FLAC taking turns, every source off: the plan's time and
//       peak memory beside TagLib reading every file's tags on one thread.
//   library_bench make DIR [FOLDERS] writes that library into DIR and ends
//       (for profiling a run by hand).
//   library_bench web [ALBUMS]      (default 20) albums looked up in a loopback
//       MusicBrainz with its throttle: requests per album, and the run's time
//       beside what the throttle alone requires.
//   library_bench accuracy [ALBUMS] (default 50) albums whose files have no
//       tags, shuffled names and wrong titles, among releases that look alike
//       (an edition with a bonus track, a pressing with other lengths, another
//       album of the artist): where the distance puts the right release, what
//       a save with the default threshold saves, and the distances of right
//       and wrong releases (for choosing the threshold); the same for tagged
//       folders.
//
// With no mode, all three run. Each run of trovix-cli is a child process with
// its own settings and state, so its peak memory is its own.
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "library/LibraryRun.h"
#include "model/AlbumDetails.h"
#include "model/MatchDistance.h"
#include "support/LibraryFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double cpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

double ownCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return cpuSeconds(u);
}

struct ChildRun {
    double seconds = 0;
    double cpu = 0;
    long maxRssKb = 0;
    int exitCode = -1;
    QByteArray out;
};

// Runs trovix-cli with private settings and state; figures from wait4.
ChildRun runCli(const QStringList& args, const QString& home) {
    QDir().mkpath(home + "/config");
    QFile conf(home + "/config/Trovix/Trovix.conf");
    QDir().mkpath(home + "/config/Trovix");
    if (conf.open(QIODevice::WriteOnly)) conf.write("[General]\nRenameAlbums=NO\n");
    conf.close();
    QTemporaryFile output;
    output.open();
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/config").constData(), 1);
        ::setenv("XDG_STATE_HOME", QFile::encodeName(home + "/state").constData(), 1);
        ::setenv("HOME", QFile::encodeName(home).constData(), 1);
        ::dup2(output.handle(), 1);
        std::vector<QByteArray> raw{QByteArray(TROVIX_CLI_PATH)};
        for (const QString& a : args)
            raw.push_back(a.toUtf8());
        std::vector<char*> argv;
        for (QByteArray& a : raw)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    ChildRun r;
    r.seconds = clock.nsecsElapsed() / 1e9;
    r.maxRssKb = usage.ru_maxrss;
    r.cpu = cpuSeconds(usage);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile read(output.fileName());
    if (read.open(QIODevice::ReadOnly)) r.out = read.readAll();
    return r;
}

QList<QJsonObject> jsonLines(const QByteArray& out) {
    QList<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith('{')) lines << QJsonDocument::fromJson(line).object();
    return lines;
}

const QStringList kSourcesOff = {"--set", "SearchMB=NO",   "--set", "SearchAMG=NO",
                                 "--set", "SearchGOOG=NO", "--set", "SearchFreeDB=NO",
                                 "--set", "SearchGNUDB=NO"};

bool makePlanLibrary(const QString& root, int folders) {
    for (int i = 0; i < folders; ++i) {
        const FixtureRelease r = FixtureRelease::generated(
            i, 10, QStringLiteral("Artist %1").arg(i / 10), QStringLiteral("Album %1").arg(i));
        if (!writeAlbumFolder(QStringLiteral("%1/%2/%3").arg(root, r.artist, r.title), r)) {
            std::printf("could not write folder %d\n", i);
            return false;
        }
    }
    return true;
}

void planBench(int folders) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/library";
    QElapsedTimer made;
    made.start();
    if (!makePlanLibrary(root, folders)) return;
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    std::printf("plan: %d folders, %lld files (made in %.1f s)\n", folders, qlonglong(files.size()),
                made.elapsed() / 1000.0);

    // Best of three, the runs taking turns so load from others hits both.
    // Processor time beside the wall clock: on a shared machine it is the
    // steadier figure.
    double tagsOnly = 1e9, withLengths = 1e9, plan = 1e9, tagsCpu = 1e9, planCpu = 1e9;
    long rss = 0;
    for (int round = 0; round < 3; ++round) {
        for (const bool lengths : {false, true}) {
            QElapsedTimer clock;
            clock.start();
            const double cpuBefore = ownCpuSeconds();
            size_t chars = 0;
            for (const QString& f : files) {
                TagLib::FileRef ref(QFile::encodeName(f).constData(), lengths);
                if (!ref.isNull() && ref.tag())
                    chars += ref.tag()->title().size() + ref.tag()->artist().size();
            }
            const double s = clock.nsecsElapsed() / 1e9;
            (lengths ? withLengths : tagsOnly) = std::min(lengths ? withLengths : tagsOnly, s);
            if (!lengths) tagsCpu = std::min(tagsCpu, ownCpuSeconds() - cpuBefore);
            if (chars == 0) std::printf("TagLib read no tags\n");
        }
        QTemporaryDir home;
        const ChildRun r =
            runCli(QStringList{"library", root, "--plan", "--json"} + kSourcesOff, home.path());
        if (r.exitCode != 0 || jsonLines(r.out).size() != folders)
            std::printf("plan run failed: exit %d, %lld lines\n", r.exitCode,
                        qlonglong(jsonLines(r.out).size()));
        plan = std::min(plan, r.seconds);
        planCpu = std::min(planCpu, r.cpu);
        rss = std::max(rss, r.maxRssKb);
    }
    std::printf("  TagLib, tags only, one thread:      %7.2f s\n", tagsOnly);
    std::printf("  TagLib, tags and lengths, one thread: %5.2f s\n", withLengths);
    std::printf("  trovix-cli library --plan:          %7.2f s  (%.2fx TagLib's tags)\n", plan,
                plan / tagsOnly);
    std::printf("  processor time: TagLib %.2f s, the plan %.2f s on %d cores (%.2fx)\n", tagsCpu,
                planCpu, QThread::idealThreadCount(), planCpu / tagsCpu);
    std::printf("  peak memory of the plan:            %7.1f MB\n", rss / 1024.0);
}

void webBench(int albums) {
    QList<FixtureRelease> releases;
    for (int i = 0; i < albums; ++i)
        releases << FixtureRelease::generated(100 + i, 10, QStringLiteral("Singer %1").arg(i),
                                              QStringLiteral("Record %1").arg(i));
    // A plan fetches no covers; a save fetches one per album it may save.
    for (const char* action : {"--plan", "--save"}) {
        LoopbackMusicBrainz mb(releases);
        QTemporaryDir dir;
        const QString root = dir.path() + "/library";
        for (const FixtureRelease& r : releases)
            writeAlbumFolder(root + "/" + r.artist + " - " + r.title, r);
        QTemporaryDir home;
        const ChildRun run =
            runCli(QStringList{"library", root, action, "--json"} + mb.settings(), home.path());
        int done = 0;
        for (const QJsonObject& o : jsonLines(run.out))
            done += o["status"].toString() ==
                    (QLatin1String(action) == "--save" ? "saved" : "looked up");
        const int mbRequests = mb.searches() + mb.lookups();
        // Each throttle lets one request a second (covers one per 2.5 s) go,
        // the first at once; the run can be no faster than the slower one.
        const double mbRequired = std::max(0, mbRequests - 1) * 1.0;
        const double coverRequired = std::max(0, mb.covers() - 1) * 2.5;
        const double required = std::max(mbRequired, coverRequired);
        std::printf("web %s: %d albums, %d done (exit %d)\n", action, albums, done, run.exitCode);
        std::printf("  MusicBrainz requests: %d (%.2f per album: %d searches, %d look-ups)\n",
                    mbRequests, double(mbRequests) / albums, mb.searches(), mb.lookups());
        std::printf("  cover requests:       %d (%.2f per album)\n", mb.covers(),
                    double(mb.covers()) / albums);
        std::printf("  run: %.1f s; the throttles require %.1f s (MusicBrainz %.1f s, covers %.1f "
                    "s): %.0f %% over\n",
                    run.seconds, required, mbRequired, coverRequired,
                    required > 0 ? 100 * (run.seconds / required - 1) : 0.0);
    }
}

// The folder as a document opens it, without a look-up: what the distance
// compares releases with.
MatchDistance::Folder openedFolder(const QString& path) {
    HeadlessHost host;
    TrovixDocument doc(&host);
    doc.setDocumentPath(path, true);
    doc.waitUntilIdle();
    const MatchDistance::Folder folder = doc.applier().matchFolder();
    doc.requestClose();
    return folder;
}

AlbumDetails detailsOf(const FixtureRelease& r) {
    AlbumDetails d;
    d.setResultKey(r.id);
    d.setArtist(r.artist);
    d.setAlbum(r.title);
    d.setYear(r.year);
    d.setDiscCount(1);
    d.setTitles({});
    for (const FixtureSong& s : r.songs)
        d.addTitle(s.title, QString(), s.secs * 1000);
    return d;
}

void accuracyBench(int albums, bool tagged) {
    QList<FixtureRelease> right, all;
    for (int i = 0; i < albums; ++i) {
        const QString artist = QStringLiteral("Band %1").arg(i);
        const FixtureRelease r = FixtureRelease::generated(1000 + i, 8 + i % 6, artist,
                                                           QStringLiteral("Songs %1").arg(i));
        FixtureRelease deluxe = r;
        deluxe.id = FixtureRelease::generated(3000 + i, 1, artist, r.title).id;
        deluxe.songs << FixtureSong{QStringLiteral("Bonus %1").arg(i), 180};
        FixtureRelease pressing = r;
        pressing.id = FixtureRelease::generated(5000 + i, 1, artist, r.title).id;
        for (int k = 0; k < pressing.songs.size(); ++k)
            pressing.songs[k].secs += (k % 2 ? 1 : -1) * (4 + (k * 7 + i) % 9);
        const FixtureRelease other = FixtureRelease::generated(
            7000 + i, int(r.songs.size()), artist, QStringLiteral("Other %1").arg(i));
        right << r;
        // Half the time a look-alike comes first in the site's answer.
        if (i % 2)
            all << pressing << other << r << deluxe;
        else
            all << r << deluxe << pressing << other;
    }
    QTemporaryDir dir;
    const QString root = dir.path() + "/library";
    AlbumFolderOptions options;
    options.tags = tagged;
    options.shuffledNames = !tagged;
    options.wrongTitles = !tagged;
    QStringList folders;
    for (const FixtureRelease& r : right) {
        folders << root + "/" + r.artist + " - " + r.title;
        writeAlbumFolder(folders.back(), r, options);
    }

    // Among every release of the artist, ranked by distance alone.
    int first = 0;
    QList<double> rightDistances, nearestWrong;
    for (int i = 0; i < albums; ++i) {
        const MatchDistance::Folder folder = openedFolder(folders[i]);
        double best = 2, bestWrong = 2;
        QString bestId;
        for (const FixtureRelease& candidate : all) {
            if (candidate.artist != right[i].artist) continue;
            const double d = MatchDistance::compute(folder, detailsOf(candidate)).value();
            if (d < best) {
                best = d;
                bestId = candidate.id;
            }
            if (candidate.id == right[i].id)
                rightDistances << d;
            else
                bestWrong = std::min(bestWrong, d);
        }
        nearestWrong << bestWrong;
        first += bestId == right[i].id;
    }
    std::sort(rightDistances.begin(), rightDistances.end());
    std::sort(nearestWrong.begin(), nearestWrong.end());
    std::printf("accuracy, %s folders: %d albums, 4 look-alike releases each\n",
                tagged ? "tagged" : "untagged, shuffled, wrongly titled", albums);
    std::printf("  right release first by distance: %d of %d\n", first, albums);
    std::printf("  right release's distance: min %.3f, median %.3f, max %.3f\n",
                rightDistances.front(), rightDistances[rightDistances.size() / 2],
                rightDistances.back());
    std::printf("  nearest wrong release:    min %.3f, median %.3f, max %.3f\n",
                nearestWrong.front(), nearestWrong[nearestWrong.size() / 2], nearestWrong.back());

    // What a save run with the default threshold does with them.
    LoopbackMusicBrainz mb(all);
    QTemporaryDir home;
    const ChildRun run =
        runCli(QStringList{"library", root, "--save", "--json"} + mb.settings(), home.path());
    int saved = 0, wrong = 0, queued = 0;
    for (const QJsonObject& o : jsonLines(run.out)) {
        if (o["status"].toString() == "queued") ++queued;
        if (o["status"].toString() != "saved") continue;
        ++saved;
        const int i =
            int(folders.indexOf(o["albums"].toArray()[0].toObject()["folder"].toString()));
        if (i < 0 || o["key"].toString() != "#MB:" + right[i].id) ++wrong;
    }
    std::printf("  --save at %.2f: %d saved, %d of them a wrong release; %d queued (exit %d)\n",
                LibraryRun::kDefaultMaxDistance, saved, wrong, queued, run.exitCode);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == "make" && argc > 2)
        return makePlanLibrary(QString::fromLocal8Bit(argv[2]),
                               argc > 3 ? std::atoi(argv[3]) : 1000)
                   ? 0
                   : 1;
    const int n = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode.isEmpty() || mode == "plan") planBench(n > 0 ? n : 1000);
    if (mode.isEmpty() || mode == "web") webBench(n > 0 ? n : 20);
    if (mode.isEmpty() || mode == "accuracy") {
        accuracyBench(n > 0 ? n : 50, false);
        accuracyBench(n > 0 ? n : 50, true);
    }
    return 0;
}
