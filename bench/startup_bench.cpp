// Where trovix-cli's time goes before it reads the first file, and what a
// one-file opening costs beside a program built on TagLib alone.
//
//   startup_bench [--runs R]
//
// Three parts, each best of R:
//  - whole processes: an empty one, a Qt program that only makes its
//    application object (qt_floor_bench: no Qt program starts faster), the
//    TagLib reader (taglib_read_bench) on one FLAC and one MP3 file,
//    trovix-cli --version, and trovix-cli open --json (web sources off) of
//    an empty folder and of each one-file folder;
//  - the dynamic loader: the libraries trovix-cli maps and the cycles the
//    loader reports for them (LD_DEBUG=statistics);
//  - the steps trovix-cli takes before the first file, one after another in
//    a fresh child process each run: the application object, the
//    preferences, the web throttles and the source registry, the folder
//    document, the picture formats, and the opening of an empty folder (the
//    lock, the journals' recovery scan and the file-name probe).
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "support/Mp3Fixture.h"
#include "support/ProcessRuns.h"
#include "support/XiphFixture.h"
#include "system/PictureCodec.h"
#include "web/WebThrottle.h"
#include "web/sources/MusicSources.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kWebKeys[] = {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey,
                                GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey};

void processes(const QString& root, int runs) {
    const QString cli = QStringLiteral(TROVIX_CLI_PATH);
    const QString reader = QCoreApplication::applicationDirPath() + "/taglib_read_bench";
    const QString qtFloor = QCoreApplication::applicationDirPath() + "/qt_floor_bench";
    const QString empty = root + "/empty", flac = root + "/flac", mp3 = root + "/mp3";
    QDir().mkpath(empty);
    QDir().mkpath(flac);
    QDir().mkpath(mp3);
    XiphFixtureOptions tags;
    tags.comments = {"TITLE=One", "ARTIST=Someone", "ALBUM=Something", "TRACKNUMBER=1"};
    if (!writeXiphFile(flac + "/one.flac", XiphKind::Flac, tags) ||
        !writeSilentMp3(mp3 + "/one.mp3")) {
        std::printf("could not write the files\n");
        return;
    }
    {
        TagLib::FileRef ref(QFile::encodeName(mp3 + "/one.mp3").constData());
        ref.tag()->setTitle("One");
        ref.save();
    }
    struct Row {
        const char* what;
        QString program;
        QStringList arguments;
    };
    const Row rows[] = {
        {"an empty process (/bin/true)", QStringLiteral("/bin/true"), {}},
        {"a Qt program that only starts", qtFloor, {}},
        {"TagLib reader, one FLAC file", reader, {flac + "/one.flac"}},
        {"TagLib reader, one MP3 file", reader, {mp3 + "/one.mp3"}},
        {"trovix-cli --version", cli, {QStringLiteral("--version")}},
        {"trovix-cli open, empty folder", cli, cliOpenArguments(empty)},
        {"trovix-cli open, one FLAC file", cli, cliOpenArguments(flac)},
        {"trovix-cli open, one MP3 file", cli, cliOpenArguments(mp3)},
    };
    std::printf("whole processes, best of %d\n", runs);
    for (const Row& row : rows)
        std::printf("  %-34s %8.2f ms\n", row.what, bestRunMs(row.program, row.arguments, runs));
}

void loader() {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TROVIX_CLI_PATH), {});
    process.waitForFinished(-1);
    const qsizetype libraries = process.readAllStandardOutput().count('\n');

    environment.remove(QStringLiteral("LD_TRACE_LOADED_OBJECTS"));
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("statistics"));
    qlonglong cycles = std::numeric_limits<qlonglong>::max();
    for (int r = 0; r < 5; ++r) {
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TROVIX_CLI_PATH), {QStringLiteral("--version")});
        process.waitForFinished(-1);
        static const QRegularExpression total(QStringLiteral("total startup time in dynamic "
                                                             "loader: ([0-9]+) cycles"));
        const QRegularExpressionMatch match = total.match(process.readAllStandardError());
        if (match.hasMatch()) cycles = std::min(cycles, match.captured(1).toLongLong());
    }
    std::printf("dynamic loader: %lld objects mapped, %.1f M cycles (least of 5)\n",
                static_cast<long long>(libraries), double(cycles) / 1e6);
}

// The steps, timed in a fresh child each run; the parent keeps the least.
constexpr int kSteps = 6;
const char* const kStepNames[kSteps] = {
    "application object",     "preferences and their defaults",
    "web throttles, sources", "folder document",
    "picture formats",        "opening an empty folder",
};

void steps(const QString& root, int runs, int argc, char** argv) {
    const QString empty = root + "/empty-steps";
    QDir().mkpath(empty);
    std::array<double, kSteps> best;
    best.fill(std::numeric_limits<double>::max());
    for (int r = 0; r < runs; ++r) {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            ::close(fds[0]);
            std::array<double, kSteps> ms{};
            QElapsedTimer timer;
            auto lap = [&](int step) {
                ms[size_t(step)] = double(timer.nsecsElapsed()) / 1e6;
                timer.restart();
            };
            timer.start();
            qputenv("QT_NO_GLIB", "1"); // as trovix-cli starts
            QCoreApplication app(argc, argv);
            lap(0);
            Prefs::initializeDefaults();
            for (const char* key : kWebKeys)
                Prefs::setOverride(QString::fromLatin1(key), false);
            lap(1);
            InitWebThrottles();
            (void)MusicSources::all();
            lap(2);
            HeadlessHost host;
            host.setAnswerPolicy(&HeadlessHost::answerNone);
            auto doc = std::make_unique<TrovixDocument>(&host);
            lap(3);
            (void)Pictures::readableFormats(); // opens the codec module, as trovix-cli does
            lap(4);
            doc->setDocumentPath(empty, false);
            doc->waitUntilIdle();
            QCoreApplication::sendPostedEvents();
            lap(5);
            const bool sent = ::write(fds[1], ms.data(), sizeof ms) == ssize_t(sizeof ms);
            _exit(sent ? 0 : 1);
        }
        ::close(fds[1]);
        std::array<double, kSteps> ms{};
        const bool got = ::read(fds[0], ms.data(), sizeof ms) == ssize_t(sizeof ms);
        ::close(fds[0]);
        waitpid(pid, nullptr, 0);
        if (!got) return;
        for (int s = 0; s < kSteps; ++s)
            best[size_t(s)] = std::min(best[size_t(s)], ms[size_t(s)]);
    }
    std::printf("steps before the first file, each the least of %d fresh processes\n", runs);
    for (int s = 0; s < kSteps; ++s)
        std::printf("  %-34s %8.2f ms\n", kStepNames[s], best[size_t(s)]);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    QTemporaryDir root;
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
    steps(root.path(), runs, argc, argv);
    {
        QCoreApplication app(argc, argv);
        loader();
        processes(root.path(), runs);
    }
    return 0;
}
