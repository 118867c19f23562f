// Prints how long opening a one-file album folder takes when every web
// source is on and none can be reached (each points at a loopback address
// where nothing listens). The target is under 15 s.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "support/AlbumFolderFixture.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Prefs::initializeDefaults();

    AlbumFolderFixture folder;
    FixtureTrack t;
    t.fileName = QStringLiteral("01 one.mp3");
    t.title = QStringLiteral("One");
    t.artist = QStringLiteral("Band");
    t.album = QStringLiteral("Record");
    if (!folder.add(t)) return 1;
    int host = 1;
    for (const char* key : {MusicBrainz::kBaseURLKey, AllMusicGuide::kBaseURLKey,
                            GoogleMusic::kBaseURLKey, Gnudb::kBaseURLKey, FreeDB::kBaseURLKey})
        Prefs::setOverride(key, QStringLiteral("http://127.0.0.%1:9").arg(host++));
    for (const char* key :
         {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
          Gnudb::kSearchKey, FreeDB::kSearchKey, Prefs::kSearchForCoverArt})
        Prefs::setOverride(key, true);

    HeadlessHost headless;
    TrovixDocument doc(&headless);
    const auto start = std::chrono::steady_clock::now();
    doc.setDocumentPath(folder.path(), false);
    doc.waitUntilIdle();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("offline look-up, every source on: %.2f s (target < 15 s)\n", seconds);
    return 0;
}
