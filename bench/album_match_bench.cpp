// How long matching an album's titles to a folder's files takes as albums
// and folders grow. First the folder document applying a hit on real MP3
// files (box sets run to hundreds of titles); then the matching alone on
// the shapes that once made it quadratic: a folder of 100 albums read from
// its tags, where every title repeats a hundred times or more, and a
// release of 100,000 tracks chosen for a small folder.
//
//   album_match_bench [--runs R]

#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"
#include "model/TitleMatcher.h"
#include "support/AlbumFolderFixture.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

void documentApply() {
    std::printf("%8s %8s %12s\n", "files", "titles", "ms/apply");
    for (int files : {12, 50, 150, 300}) {
        AlbumFolderFixture folder;
        for (int i = 0; i < files; ++i) {
            FixtureTrack t;
            t.fileName = QStringLiteral("%1.mp3").arg(i, 4, 10, QChar(u'0'));
            t.title = QStringLiteral("Song number %1 of the set").arg(files - i);
            t.artist = QStringLiteral("Artist");
            t.album = QStringLiteral("Album");
            if (!folder.add(t)) return;
        }
        HeadlessHost host;
        TrovixDocument doc(&host);
        doc.setDocumentPath(folder.path(), true);
        doc.waitUntilIdle();

        // The album lists the same songs in the opposite order, plus a few.
        auto details = std::make_shared<AlbumDetails>();
        for (int i = 1; i <= files + 2; ++i)
            details->addTitle(QStringLiteral("Song number %1 of the set").arg(i), QString());
        auto hit = std::make_shared<AlbumInfo>();
        hit->setAlbumDetails(details);

        const int rounds = files <= 50 ? 20 : 3;
        QElapsedTimer timer;
        timer.start();
        for (int r = 0; r < rounds; ++r)
            doc.applier().selectAlbumDetailsViaClick(0, hit);
        std::printf("%8d %8d %12.2f\n", files, files + 2, double(timer.elapsed()) / rounds);
    }
}

// n files of 100 albums ("Title 01", "Title 02", ... in each), by file name.
std::vector<TitleMatcher::Record> albumFolder(int n) {
    const int perAlbum = std::max(1, n / 100);
    std::vector<TitleMatcher::Record> records;
    for (int i = 0; i < n; ++i) {
        const uint32_t track = uint32_t(i % perAlbum + 1);
        records.push_back({QStringLiteral("Title %1").arg(track, 2, 10, QChar(u'0')), track, 0});
    }
    return records;
}

// The album the tags tell: the files' titles by track number.
std::vector<TitleMatcher::Title> titlesFromTags(std::vector<TitleMatcher::Record> records) {
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.trackNum < b.trackNum; });
    std::vector<TitleMatcher::Title> titles;
    for (const TitleMatcher::Record& r : records)
        titles.push_back({r.title, std::nullopt});
    return titles;
}

// A release whose titles resemble none of the folder's, each with a length.
std::vector<TitleMatcher::Title> hugeRelease(int tracks) {
    std::vector<TitleMatcher::Title> titles;
    for (int i = 0; i < tracks; ++i)
        titles.push_back({QStringLiteral("Disc %1 part %2").arg(i / 1000 + 1).arg(i % 1000 + 1),
                          180000 + (i % 60) * 1000});
    return titles;
}

std::vector<TitleMatcher::Record> smallFolder(int n) {
    std::vector<TitleMatcher::Record> records;
    for (int i = 0; i < n; ++i)
        records.push_back({QStringLiteral("Song %1").arg(i + 1), uint32_t(i + 1), 200});
    return records;
}

double bestMs(const std::vector<TitleMatcher::Record>& records,
              const std::vector<TitleMatcher::Title>& titles, int runs) {
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        const std::vector<qsizetype> assigned = TitleMatcher::assign(records, titles);
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        if (assigned.size() != titles.size()) return -1;
    }
    return best;
}

void matchingAlone(int runs, const std::vector<int>& sizes) {
    std::printf("\nmatching alone, best of %d\n%-34s %8s %8s %10s %8s\n", runs, "shape", "files",
                "titles", "ms", "x 1,000");
    double base = 0;
    for (const int n : sizes) {
        const auto records = albumFolder(n);
        const double ms = bestMs(records, titlesFromTags(records), runs);
        if (n == 1000) base = ms;
        std::printf("%-34s %8d %8d %10.2f %8.2f\n", "100 albums, titles from the tags", n, n, ms,
                    ms / base);
    }
    if (sizes.size() == 1) return;
    const auto records = smallFolder(12);
    std::printf("%-34s %8d %8d %10.2f\n", "a release of 100 x 1,000 tracks", 12, 100000,
                bestMs(records, hugeRelease(100000), std::min(runs, 2)));
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    // --files N matches one folder size alone, for an instruction count
    // (valgrind --tool=callgrind) that a busy machine cannot blur.
    std::vector<int> sizes{1000, 2000, 5000, 10000};
    bool only = false;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--files") {
            sizes = {std::max(1, std::atoi(argv[i + 1]))};
            only = true;
        }
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Prefs::setOverride(Prefs::kSmartCapitalization, false);
    for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey, Gnudb::kSearchKey,
                            FreeDB::kSearchKey})
        Prefs::setOverride(key, false);
    if (!only) documentApply();
    matchingAlone(runs, sizes);
    return 0;
}
