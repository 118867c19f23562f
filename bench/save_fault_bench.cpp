// Kills a save of a generated album folder at every step that changes the
// disk (each write, move and journal step the save announces), reopens the
// folder (which finishes or undoes what the save left) and prints how many
// kill points left a file stranded (missing from the album, or under a
// temporary name) or changed (tags neither the old nor the new ones, or
// audio bytes altered). The target for both is 0.
//
// save_fault_bench [FILES] [STRIDE]: FILES files (default 100, half MP3 and
// half M4A); every STRIDE-th step is killed (default 1: all of them).
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "model/AudioTrack.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "system/SaveSteps.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kOldYear = QStringLiteral("2001");
const QString kNewYear = QStringLiteral("2002");

QString titleOf(int i) {
    return QStringLiteral("song number %1").arg(i);
}

bool makeAlbum(const QString& dir, int count) {
    QDir().mkpath(dir);
    for (int i = 1; i <= count; ++i) {
        const bool m4a = i % 2 == 0;
        const QString path =
            QStringLiteral("%1/song %2.%3").arg(dir).arg(i).arg(m4a ? "m4a" : "mp3");
        if (m4a ? !writeM4a(path) : !writeSilentMp3(path)) return false;
        auto f = MusicFileFactory::newMusicFileWithPath(path);
        if (!f) return false;
        TagValues tags{.title = titleOf(i),
                       .artist = QStringLiteral("Fixture Artist"),
                       .album = QStringLiteral("Fixture Album"),
                       .year = kOldYear,
                       .genre = QStringLiteral("Rock")};
        tags.setTrack(i, count);
        f->setTags(tags, TagValues::kTexts);
        if (!SaveBatch::saveOne(*f).ok()) return false;
    }
    return true;
}

bool copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        if (!QFile::copy(from + u'/' + name, to + u'/' + name)) return false;
    return true;
}

void settle(TrovixDocument& doc) {
    doc.waitUntilIdle();
    QCoreApplication::sendPostedEvents();
}

// The save under test, in a child: dies at step `killAt` (0: never) and
// reports the number of steps it announced through `report`.
[[noreturn]] void saveInChild(const QString& dir, int killAt, int report) {
    int seen = 0;
    SaveSteps::setHook([&seen, killAt](const char*) {
        if (++seen == killAt) ::_exit(0);
    });
    {
        HeadlessHost host;
        host.setAnswerPolicy(&HeadlessHost::answerDefault);
        TrovixDocument doc(&host);
        doc.setDocumentPath(dir, false);
        settle(doc);
        doc.setAlbumField(TagField::Year, kNewYear);
        doc.saveDocument();
        settle(doc);
        doc.requestClose();
    }
    if (report >= 0 && ::write(report, &seen, sizeof seen) != sizeof seen) ::_exit(3);
    ::_exit(0);
}

int runChild(const QString& dir, int killAt, int* steps) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        saveInChild(dir, killAt, fds[1]);
    }
    ::close(fds[1]);
    int status = 0;
    if (steps && ::read(fds[0], steps, sizeof *steps) != sizeof *steps) *steps = -1;
    ::close(fds[0]);
    ::waitpid(pid, &status, 0);
    return status;
}

struct Check {
    int stranded = 0; // files missing from the album or under a temporary name
    int changed = 0;  // files with neither the old nor the new content
};

// Reopens the album (the opening finishes what the killed save left) and
// compares every file with what it was or should become.
Check reopenAndCheck(const QString& parent, int count, const QMap<int, QByteArray>& audio) {
    Check c;
    const QStringList folders = QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (folders.size() != 1) return {count, 0};
    HeadlessHost host;
    TrovixDocument doc(&host);
    doc.setDocumentPath(parent + u'/' + folders.first(), false);
    settle(doc);
    QMap<int, bool> found;
    for (const AudioTrackRef& t : doc.trackArray()) {
        if (t->isPlaceholder()) continue;
        if (AudioTrack::isTempFileName(t->getFileName())) continue;
        auto f = MusicFileFactory::newMusicFileWithPath(t->getPath());
        if (!f) {
            ++c.changed;
            continue;
        }
        const int i = int(f->readTags().trackNumber());
        found[i] = true;
        const QString year = f->readTags().year;
        // The save may capitalize the title; its words stay.
        const bool tagsOk = f->readTags().title.compare(titleOf(i), Qt::CaseInsensitive) == 0 &&
                            (year == kOldYear || year == kNewYear);
        if (!tagsOk && std::getenv("SAVE_FAULT_VERBOSE"))
            std::printf("    %s: title \"%s\" year %s\n", qPrintable(t->getFileName()),
                        qPrintable(f->readTags().title), qPrintable(year));
        const bool audioOk =
            !t->getFileName().endsWith(u".mp3") || mp3AudioPayload(t->getPath()) == audio.value(i);
        if (!tagsOk || !audioOk) ++c.changed;
    }
    c.stranded = count - int(found.size());
    if (QFileInfo::exists(doc.docPath() + QStringLiteral("/.trovix-renames"))) ++c.stranded;
    doc.requestClose();
    return c;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;
    const int stride = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    Prefs::initializeDefaults();
    for (const char* key :
         {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
          Gnudb::kSearchKey, FreeDB::kSearchKey, Prefs::kSearchForCoverArt, Prefs::kBackup})
        Prefs::setOverride(QString::fromLatin1(key), false);
    for (const char* key : {Prefs::kRenameTracks, Prefs::kRenameAlbums})
        Prefs::setOverride(QString::fromLatin1(key), true);

    QTemporaryDir tmp;
    const QString pristine = tmp.path() + QStringLiteral("/pristine/Album");
    if (!makeAlbum(pristine, count)) {
        std::printf("could not build the album\n");
        return 1;
    }
    QMap<int, QByteArray> audio;
    for (int i = 1; i <= count; i += 2)
        audio[i] = mp3AudioPayload(QStringLiteral("%1/song %2.mp3").arg(pristine).arg(i));

    // One whole save first, to count its steps.
    const QString work = tmp.path() + QStringLiteral("/work");
    copyFolder(pristine, work + QStringLiteral("/Album"));
    int steps = 0;
    runChild(work + QStringLiteral("/Album"), 0, &steps);
    const Check clean = reopenAndCheck(work, count, audio);
    std::printf("save of %d files: %d steps; uninterrupted: %d stranded, %d changed\n", count,
                steps, clean.stranded, clean.changed);

    QElapsedTimer timer;
    timer.start();
    int killed = 0, strandedSteps = 0, changedSteps = 0;
    for (int k = 1; k <= steps; k += stride) {
        QDir(work).removeRecursively();
        copyFolder(pristine, work + QStringLiteral("/Album"));
        runChild(work + QStringLiteral("/Album"), k, nullptr);
        const Check c = reopenAndCheck(work, count, audio);
        ++killed;
        if (c.stranded) ++strandedSteps;
        if (c.changed) ++changedSteps;
        if (c.stranded || c.changed)
            std::printf("  kill at step %d: %d stranded, %d changed\n", k, c.stranded, c.changed);
    }
    std::printf("killed at %d of %d steps: %d left files stranded, %d left files changed "
                "(target 0 and 0); %.1f s\n",
                killed, steps, strandedSteps, changedSteps, double(timer.elapsed()) / 1000.0);
    return 0;
}
