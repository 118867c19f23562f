// How long matching an album's titles to a folder's files takes as albums
// grow (box sets run to hundreds of titles): the score-matrix assignment of
// the folder document, measured on real MP3 files.

#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"
#include "support/AlbumFolderFixture.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Prefs::setOverride(Prefs::kSmartCapitalization, false);
    for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey, Gnudb::kSearchKey,
                            FreeDB::kSearchKey})
        Prefs::setOverride(key, false);

    std::printf("%8s %8s %12s\n", "files", "titles", "ms/apply");
    for (int files : {12, 50, 150, 300}) {
        AlbumFolderFixture folder;
        for (int i = 0; i < files; ++i) {
            FixtureTrack t;
            t.fileName = QStringLiteral("%1.mp3").arg(i, 4, 10, QChar(u'0'));
            t.title = QStringLiteral("Song number %1 of the set").arg(files - i);
            t.artist = QStringLiteral("Artist");
            t.album = QStringLiteral("Album");
            if (!folder.add(t)) return 1;
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
            doc.selectAlbumDetailsViaClick(0, hit);
        std::printf("%8d %8d %12.2f\n", files, files + 2, double(timer.elapsed()) / rounds);
    }
    return 0;
}
