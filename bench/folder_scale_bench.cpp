// Prints, for folders of N tagged files (half MP3, half M4A, each with a
// ~100 KB JPEG cover), the folder document's open and save times and peak
// memory beside TagLib's own read and save of the same files.
//
//   folder_scale_bench [--open-only] [--steps] [N ...]   (default: 100 1000 5000)
//
// --open-only skips both saves, for profiling the opening. --steps prints
// where the save's time went: from each announced save step to the next
// ("plan" is the time before the first one).
//
// Each N runs in forked children, so every peak memory figure is that run's
// own.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "system/SaveSteps.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Noise compresses badly, so a modest picture gives a cover of ~100 KB.
QByteArray coverJpeg() {
    QImage picture(480, 480, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, int(random.bounded(256))));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(picture);
    return jpeg;
}

bool writeMp3(const QString& path, int track, int count, const QByteArray& cover) {
    if (!writeSilentMp3(path)) return false;
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    tag->setTitle(TagLib::String("song number ") + TagLib::String::number(track));
    tag->setArtist("Fixture Artist");
    tag->setAlbum("Fixture Album");
    tag->setYear(2001);
    tag->setGenre("Rock");
    tag->setTrack(unsigned(track));
    (void)count;
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setMimeType("image/jpeg");
    picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    picture->setPicture(TagLib::ByteVector(cover.constData(), unsigned(cover.size())));
    tag->addFrame(picture);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
}

bool makeFolder(const QString& dir, int n, const QByteArray& cover) {
    for (int i = 1; i <= n; ++i) {
        const bool m4a = i % 2 == 0;
        const QString path =
            QStringLiteral("%1/song %2.%3").arg(dir).arg(i).arg(m4a ? "m4a" : "mp3");
        if (m4a) {
            M4aFixtureOptions o;
            o.title = QStringLiteral("song number %1").arg(i);
            o.trackNum = i % 65536;
            o.trackCount = n % 65536;
            o.cover = cover;
            o.coverType = 13;
            if (!writeM4a(path, o)) return false;
        } else if (!writeMp3(path, i, n, cover)) {
            return false;
        }
    }
    return true;
}

double peakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// What a child measured, passed back through a pipe.
struct Figures {
    double openMs = -1, saveMs = -1, openPeakMB = -1, savePeakMB = -1;
    double tagLibReadMs = -1, tagLibSaveMs = -1;
    int tracks = 0;
};

// Runs `body` in a forked child and returns what it filled in.
Figures inChild(const std::function<void(Figures&)>& body) {
    int fds[2];
    Figures result;
    if (pipe(fds) != 0) return result;
    std::fflush(stdout); // or the child prints what the parent buffered
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        Figures f;
        body(f);
        const ssize_t written = ::write(fds[1], &f, sizeof f);
        ::close(fds[1]);
        _exit(written == ssize_t(sizeof f) ? 0 : 1);
    }
    ::close(fds[1]);
    if (::read(fds[0], &result, sizeof result) != ssize_t(sizeof result)) result = Figures{};
    ::close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return result;
}

void settle(TrovixDocument& doc) {
    doc.waitUntilIdle();
    QCoreApplication::sendPostedEvents();
}

// The folder document: open (web sources off), then new artist and titles,
// then save with renames and no backup.
bool gOpenOnly = false;
bool gSteps = false;

// Time from each save step to the next, summed by the step's name.
class StepClock {
public:
    using Clock = std::chrono::steady_clock;
    void start() {
        fLast = Clock::now();
        fName = "plan";
        SaveSteps::setHook([this](const char* step) { mark(step); });
    }
    void print() {
        SaveSteps::setHook({});
        mark("");
        for (const auto& [name, ms] : fTotals)
            std::printf("       %-22s %9.1f ms\n", name.c_str(), ms);
    }

private:
    void mark(const char* step) {
        const std::lock_guard<std::mutex> lock(fMutex);
        const auto now = Clock::now();
        fTotals[fName] += std::chrono::duration<double, std::milli>(now - fLast).count();
        fLast = now;
        fName = step;
    }
    std::mutex fMutex;
    Clock::time_point fLast;
    std::string fName;
    std::map<std::string, double> fTotals;
};

void measureDocument(const QString& dir, Figures& f) {
    HeadlessHost host;
    host.setAnswerPolicy(&HeadlessHost::answerDefault);
    TrovixDocument doc(&host);
    QElapsedTimer timer;
    timer.start();
    doc.setDocumentPath(dir, false);
    settle(doc);
    f.openMs = msSince(timer);
    f.openPeakMB = peakMB();
    f.tracks = int(doc.trackArray().count());
    if (gOpenOnly) return;

    doc.setArtistField(QStringLiteral("Another Artist"));
    // Straight into the records: typed into the table, each title would
    // keep an undo snapshot of every record, N x N copies (a gigabyte at
    // 1,000 files), which is not what is measured here.
    qsizetype row = 0;
    for (const AudioTrackRef& track : doc.trackArray())
        track->setNewTitle(QStringLiteral("New Title %1").arg(++row));
    StepClock steps;
    if (gSteps) steps.start();
    timer.restart();
    doc.saveDocument();
    settle(doc);
    f.saveMs = doc.lastSaveSucceeded() ? msSince(timer) : -1;
    if (gSteps) {
        steps.print();
        std::fflush(stdout);
    }
    f.savePeakMB = peakMB();
    doc.requestClose();
}

void measureTagLib(const QString& dir, Figures& f) {
    const QStringList names = QDir(dir).entryList(QDir::Files, QDir::Name);
    QElapsedTimer timer;
    timer.start();
    int ok = 0;
    for (const QString& name : names) {
        TagLib::FileRef ref(QFile::encodeName(dir + u'/' + name).constData(), true,
                            TagLib::AudioProperties::Average);
        if (!ref.isNull() && ref.tag() && ref.audioProperties() && !ref.tag()->title().isEmpty() &&
            ref.audioProperties()->lengthInMilliseconds() >= 0)
            ++ok;
    }
    f.tagLibReadMs = msSince(timer);
    f.tracks = ok;
    if (gOpenOnly) return;
    timer.restart();
    int row = 0;
    for (const QString& name : names) {
        TagLib::FileRef ref(QFile::encodeName(dir + u'/' + name).constData(), false);
        if (ref.isNull()) continue;
        ref.tag()->setArtist("Another Artist");
        ref.tag()->setTitle(TagLib::String("New Title ") + TagLib::String::number(++row));
        ref.save();
    }
    f.tagLibSaveMs = msSince(timer);
}

// Reads every file once so that neither contender pays for a cold cache.
void warmCache(const QString& dir) {
    for (const QString& name : QDir(dir).entryList(QDir::Files)) {
        QFile file(dir + u'/' + name);
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 20).isEmpty()) {
            }
    }
}

} // namespace

int main(int argc, char** argv) {
    QList<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--open-only") gOpenOnly = true;
        if (QByteArray(argv[i]) == "--steps") gSteps = true;
        if (const int n = std::atoi(argv[i]); n > 0) counts << n;
    }
    if (counts.isEmpty()) counts = {100, 1000, 5000};

    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Prefs::initializeDefaults();
    for (const char* key : {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey,
                            GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey})
        Prefs::setOverride(QString::fromLatin1(key), false);
    Prefs::setOverride(QString::fromLatin1(Prefs::kBackup), false);

    const QByteArray cover = coverJpeg();
    std::printf("cover: %lld bytes of JPEG; web sources off, no backup\n",
                static_cast<long long>(cover.size()));
    std::printf("%6s %10s %10s %9s %9s %10s %10s %9s %9s\n", "files", "open ms", "TL read",
                "open/TL", "peak MB", "save ms", "TL save", "save/TL", "peak MB");
    for (const int n : counts) {
        QTemporaryDir tmp;
        // Two copies, so each contender saves files nobody saved before.
        const QString ours = tmp.path() + QStringLiteral("/Album");
        const QString theirs = tmp.path() + QStringLiteral("/TagLib");
        QDir().mkpath(ours);
        QDir().mkpath(theirs);
        if (!makeFolder(ours, n, cover) || !makeFolder(theirs, n, cover)) {
            std::printf("%6d could not build the files\n", n);
            continue;
        }
        warmCache(ours);
        warmCache(theirs);
        // Our save syncs its files, with syncfs for a folder of them: it
        // must not also pay for writing back what making the files or
        // TagLib's save left unwritten.
        ::sync();
        const Figures tl = inChild([&](Figures& f) { measureTagLib(theirs, f); });
        ::sync();
        const Figures doc = inChild([&](Figures& f) { measureDocument(ours, f); });
        std::printf("%6d %10.1f %10.1f %9.2f %9.1f %10.1f %10.1f %9.2f %9.1f%s\n", n, doc.openMs,
                    tl.tagLibReadMs, doc.openMs / tl.tagLibReadMs, doc.openPeakMB, doc.saveMs,
                    tl.tagLibSaveMs, doc.saveMs / tl.tagLibSaveMs, doc.savePeakMB,
                    doc.tracks == n && tl.tracks == n ? "" : "  (files missing!)");
        std::fflush(stdout);
    }
    return 0;
}
