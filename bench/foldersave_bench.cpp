// Prints the time to open an album folder (scan, tag and file-name hits, no
// web) and to save it (retag and rename), for 20 MP3 files, 20 M4A files and
// a folder of 1,000 files.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool makeAlbum(const QString& dir, int count, bool m4a) {
    for (int i = 1; i <= count; ++i) {
        const QString path =
            QStringLiteral("%1/song %2.%3").arg(dir).arg(i).arg(m4a ? "m4a" : "mp3");
        if (m4a) {
            M4aFixtureOptions o;
            o.title = QStringLiteral("song number %1").arg(i);
            o.trackNum = i;
            o.trackCount = count;
            if (!writeM4a(path, o)) return false;
        } else {
            if (!writeSilentMp3(path)) return false;
            auto f = MusicFileFactory::newMusicFileWithPath(path);
            if (!f) return false;
            TagValues tags{.title = QStringLiteral("song number %1").arg(i),
                           .artist = QStringLiteral("Fixture Artist"),
                           .album = QStringLiteral("Fixture Album"),
                           .year = QStringLiteral("2001"),
                           .genre = QStringLiteral("Rock")};
            tags.setTrack(i, count);
            f->setTags(tags, TagValues::kTexts);
            if (!SaveBatch::saveOne(*f).ok()) return false;
        }
    }
    return true;
}

void settle(TrovixDocument& doc) {
    doc.waitUntilIdle();
    QCoreApplication::sendPostedEvents();
}

void measure(const char* label, int count, bool m4a) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/Album");
    QDir().mkpath(dir);
    if (!makeAlbum(dir, count, m4a)) {
        std::printf("%-28s could not build the files\n", label);
        return;
    }
    HeadlessHost host;
    host.setAnswerPolicy(&HeadlessHost::answerDefault);
    TrovixDocument doc(&host);

    QElapsedTimer timer;
    timer.start();
    doc.setDocumentPath(dir, false);
    settle(doc);
    const double openMs = double(timer.nsecsElapsed()) / 1e6;

    timer.restart();
    doc.saveDocument();
    settle(doc);
    const double saveMs = double(timer.nsecsElapsed()) / 1e6;
    // The folder may have been renamed; the files carry "NN-" names now.
    int renamed = 0;
    for (const QString& name : QDir(doc.docPath()).entryList(QDir::Files))
        renamed += name.at(0).isDigit();
    std::printf("%-28s %5d files  open %9.1f ms  save %9.1f ms  (%s, %d renamed)\n", label, count,
                openMs, saveMs, doc.lastSaveSucceeded() ? "saved" : "NOT saved", renamed);
    doc.requestClose();
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Prefs::initializeDefaults();
    // The folder's own tags and names only.
    for (const char* key :
         {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
          Gnudb::kSearchKey, FreeDB::kSearchKey, Prefs::kSearchForCoverArt})
        Prefs::setOverride(QString::fromLatin1(key), false);
    Prefs::setOverride(QString::fromLatin1(Prefs::kRenameAlbums), false);

    measure("album of 20 MP3 files", 20, false);
    measure("album of 20 M4A files", 20, true);
    measure("folder of 1,000 MP3 files", 1000, false);
    return 0;
}
