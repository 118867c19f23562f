// Prints, for folders of N tagged files, the folder document's open and
// save times and peak memory beside TagLib's own read and save of the same
// files; with --cli, the opening end to end as a user runs it instead:
// `trovix-cli open DIR --json` with every web source off against one
// process reading the files with TagLib's FileRef (taglib_read_bench),
// best of --runs (the program named by TROVIX_CLI, if set, instead of the
// one built here).
//
//   folder_scale_bench [--shape S]... [--cli] [--runs R] [--rounds K] [--open-only]
//                      [--steps] [--keep-names] [N ...]
//   folder_scale_bench --make DIR [--shape S] [N]   builds one folder and exits,
//                                                   for profiling by hand
//
// Shapes (default "mixed"; "all" for every one):
//   mixed   half MP3, half M4A, each with a ~100 KB JPEG cover, titles all different
//   albums  as mixed, but 100 albums whose titles repeat ("Title 01" in each)
//   flac, vorbis, opus   one format, each file with a ~100 KB PNG cover
// (default N: 100 1000 5000; with --cli, 1 and 1000).
//
// --open-only skips both saves, for profiling the opening, and takes the
// best of --runs openings of each contender. --steps prints
// where the save's time went: from each announced save step to the next
// ("plan" is the time before the first one). --keep-names saves without
// renaming files and folder, as TagLib's save does. --rounds K measures
// open and save K times side by side, on folders made afresh each time, and
// prints the medians: a single round's save/TL moves by a fifth either way
// with the load on a shared machine.
//
// Each N runs in forked children, so every peak memory figure is that run's
// own. Like the programs, the bench allocates through mimalloc (when built
// with it); TagLib's read and save beside ours do too.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/ProcessRuns.h"
#include "support/XiphFixture.h"
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
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

enum class Shape { Mixed, Albums, Flac, Vorbis, Opus };

struct ShapeName {
    Shape shape;
    const char* name;
};
constexpr ShapeName kShapes[] = {{Shape::Mixed, "mixed"},
                                 {Shape::Albums, "albums"},
                                 {Shape::Flac, "flac"},
                                 {Shape::Vorbis, "vorbis"},
                                 {Shape::Opus, "opus"}};

// Noise compresses badly, so a modest picture gives a cover of ~100 KB.
QByteArray cover(const char* format, int side) {
    QImage picture(side, side, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, int(random.bounded(256))));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.write(picture);
    return bytes;
}

// What file i of n holds: its album's tags and a title, number and count.
struct FileTags {
    QString artist, album, title;
    int track = 0, count = 0;
};

FileTags tagsOf(Shape shape, int i, int n) {
    FileTags tags{QStringLiteral("Fixture Artist"), QStringLiteral("Fixture Album"),
                  QStringLiteral("song number %1").arg(i), i % 65536, n % 65536};
    if (shape == Shape::Albums) {
        // 100 albums (fewer when n is small), each numbered from 1.
        const int perAlbum = std::max(1, n / 100);
        const int album = (i - 1) / perAlbum;
        tags.artist = QStringLiteral("Artist %1").arg(album);
        tags.album = QStringLiteral("Album %1").arg(album);
        tags.track = (i - 1) % perAlbum + 1;
        tags.count = perAlbum;
        tags.title = QStringLiteral("Title %1").arg(tags.track, 2, 10, QChar(u'0'));
    }
    return tags;
}

bool writeMp3(const QString& path, const FileTags& tags, const QByteArray& jpeg) {
    if (!writeSilentMp3(path)) return false;
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    tag->setTitle(TagLib::String(tags.title.toStdString(), TagLib::String::UTF8));
    tag->setArtist(TagLib::String(tags.artist.toStdString(), TagLib::String::UTF8));
    tag->setAlbum(TagLib::String(tags.album.toStdString(), TagLib::String::UTF8));
    tag->setYear(2001);
    tag->setGenre("Rock");
    tag->setTrack(unsigned(tags.track));
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setMimeType("image/jpeg");
    picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    picture->setPicture(TagLib::ByteVector(jpeg.constData(), unsigned(jpeg.size())));
    tag->addFrame(picture);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
}

bool writeM4aFile(const QString& path, const FileTags& tags, const QByteArray& jpeg) {
    M4aFixtureOptions o;
    o.title = tags.title;
    o.artist = tags.artist;
    o.album = tags.album;
    o.trackNum = tags.track;
    o.trackCount = tags.count;
    o.cover = jpeg;
    o.coverType = 13;
    // A few hundred chunks, as a real track has (the fixture makes one per
    // kilobyte): checks that sample the audio chunk by chunk show.
    o.mdatBytes = 256 * 1024;
    return writeM4a(path, o);
}

// Encoded once; each file is a copy retagged by TagLib, as a tagger leaves it.
bool writeXiphCopy(const QString& path, const QString& encoded, const FileTags& tags) {
    if (!QFile::copy(encoded, path)) return false;
    TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull()) return false;
    TagLib::PropertyMap properties = ref.file()->properties();
    auto set = [&properties](const char* key, const QString& value) {
        properties.replace(
            key, TagLib::StringList(TagLib::String(value.toStdString(), TagLib::String::UTF8)));
    };
    set("TITLE", tags.title);
    set("ARTIST", tags.artist);
    set("ALBUM", tags.album);
    set("DATE", QStringLiteral("2001"));
    set("GENRE", QStringLiteral("Rock"));
    set("TRACKNUMBER", QString::number(tags.track));
    set("TRACKTOTAL", QString::number(tags.count));
    ref.file()->setProperties(properties);
    return ref.save();
}

bool makeFolder(const QString& dir, Shape shape, int n) {
    static const QByteArray jpeg = cover("jpeg", 480);
    static const QByteArray png = cover("png", 180);
    if (shape == Shape::Mixed || shape == Shape::Albums) {
        for (int i = 1; i <= n; ++i) {
            const bool m4a = i % 2 == 0;
            const QString path =
                QStringLiteral("%1/song %2.%3").arg(dir).arg(i).arg(m4a ? "m4a" : "mp3");
            const FileTags tags = tagsOf(shape, i, n);
            if (!(m4a ? writeM4aFile(path, tags, jpeg) : writeMp3(path, tags, jpeg))) return false;
        }
        return true;
    }
    const XiphKind kind = shape == Shape::Flac     ? XiphKind::Flac
                          : shape == Shape::Vorbis ? XiphKind::Vorbis
                                                   : XiphKind::Opus;
    const char* extension = shape == Shape::Flac ? "flac" : shape == Shape::Vorbis ? "ogg" : "opus";
    QTemporaryDir scratch;
    const QString encoded = scratch.path() + QStringLiteral("/encoded.") + extension;
    XiphFixtureOptions options;
    options.pictures = {{3, png}};
    if (!writeXiphFile(encoded, kind, options)) return false;
    for (int i = 1; i <= n; ++i)
        if (!writeXiphCopy(QStringLiteral("%1/song %2.%3").arg(dir).arg(i).arg(extension), encoded,
                           tagsOf(shape, i, n)))
            return false;
    return true;
}

double peakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// The processor time of every thread so far: steadier than the clock
// when the cores are shared.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
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
        fStart = fLast = Clock::now();
        fName = "plan";
        SaveSteps::setHook([this](const char* step) { mark(step); });
    }
    void print() {
        SaveSteps::setHook({});
        mark("");
        for (const auto& [name, ms] : fTotals)
            std::printf("       %-22s %9.1f ms\n", name.c_str(), ms);
        // When each step first took over after another: where the time went.
        std::printf("       timeline:");
        for (const auto& [ms, name] : fChanges)
            std::printf(" %.1f %s", ms, name.c_str());
        std::printf("\n");
    }

private:
    void mark(const char* step) {
        const std::lock_guard<std::mutex> lock(fMutex);
        const auto now = Clock::now();
        fTotals[fName] += std::chrono::duration<double, std::milli>(now - fLast).count();
        fLast = now;
        if (fName != step)
            fChanges.emplace_back(std::chrono::duration<double, std::milli>(now - fStart).count(),
                                  std::string(*step ? step : "end"));
        fName = step;
    }
    std::mutex fMutex;
    Clock::time_point fStart, fLast;
    std::string fName;
    std::vector<std::pair<double, std::string>> fChanges;
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

    doc.setAlbumField(TagField::Artist, QStringLiteral("Another Artist"));
    // Straight into the records: typed into the table, each title would
    // keep an undo snapshot of every record, N x N copies (a gigabyte at
    // 1,000 files), which is not what is measured here.
    qsizetype row = 0;
    for (const AudioTrackRef& track : doc.trackArray())
        track->setNewTitle(QStringLiteral("New Title %1").arg(++row));
    StepClock steps;
    if (gSteps) steps.start();
    const double cpuBefore = cpuMs();
    timer.restart();
    doc.saveDocument();
    settle(doc);
    f.saveMs = doc.lastSaveSucceeded() ? msSince(timer) : -1;
    if (gSteps) {
        std::printf("       processor time         %9.1f ms\n", cpuMs() - cpuBefore);
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
    const double cpuBefore = cpuMs();
    int row = 0;
    for (const QString& name : names) {
        TagLib::FileRef ref(QFile::encodeName(dir + u'/' + name).constData(), false);
        if (ref.isNull()) continue;
        ref.tag()->setArtist("Another Artist");
        ref.tag()->setTitle(TagLib::String("New Title ") + TagLib::String::number(++row));
        ref.save();
    }
    f.tagLibSaveMs = msSince(timer);
    if (gSteps) {
        std::printf("       TagLib's processor time %8.1f ms\n", cpuMs() - cpuBefore);
        std::fflush(stdout);
    }
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

// The opening as a user runs it, against a program that reads the same
// files with TagLib alone; the two alternate, so both see the same load.
void measureEndToEnd(const QString& dir, int runs, double& oursMs, double& tagLibMs) {
    const QStringList open = cliOpenArguments(dir);
    const QString reader = QCoreApplication::applicationDirPath() + "/taglib_read_bench";
    // Another build of the program may stand in, for figures side by side.
    const QString cli = qEnvironmentVariableIsSet("TROVIX_CLI") ? qEnvironmentVariable("TROVIX_CLI")
                                                                : QStringLiteral(TROVIX_CLI_PATH);
    oursMs = tagLibMs = std::numeric_limits<double>::max();
    for (int r = 0; r < runs; ++r) {
        const double ours = bestRunMs(cli, open, 1);
        const double theirs = bestRunMs(reader, {dir}, 1);
        oursMs = ours < 0 ? ours : std::min(oursMs, ours);
        tagLibMs = theirs < 0 ? theirs : std::min(tagLibMs, theirs);
        if (ours < 0 || theirs < 0) return;
    }
}

// A folder of n files of the shape, read once so that no contender pays
// for a cold cache.
bool makeWarmFolder(const QString& dir, Shape shape, int n) {
    QDir().mkpath(dir);
    if (!makeFolder(dir, shape, n)) return false;
    warmCache(dir);
    return true;
}

// One side-by-side measurement on folders made for it: TagLib's read and
// save of one copy, then the document's opening and save of another.
struct Round {
    Figures doc, tl;
};

std::optional<Round> measureRound(Shape shape, int n, int runs) {
    QTemporaryDir tmp;
    // Two copies, so each contender saves files nobody saved before.
    const QString ours = tmp.path() + QStringLiteral("/Album");
    const QString theirs = tmp.path() + QStringLiteral("/TagLib");
    if (!makeWarmFolder(ours, shape, n) || !makeWarmFolder(theirs, shape, n)) return std::nullopt;
    // Our save syncs its files, with syncfs for a folder of them: it
    // must not also pay for writing back what making the files or
    // TagLib's save left unwritten.
    ::sync();
    Round round;
    round.tl = inChild([&](Figures& f) { measureTagLib(theirs, f); });
    ::sync();
    round.doc = inChild([&](Figures& f) { measureDocument(ours, f); });
    // Nothing is saved: the opening can be timed again, and the best
    // run stands for it, as the end-to-end figures do.
    for (int r = 1; gOpenOnly && r < runs; ++r) {
        const Figures moreTl = inChild([&](Figures& f) { measureTagLib(theirs, f); });
        const Figures moreDoc = inChild([&](Figures& f) { measureDocument(ours, f); });
        round.tl.tagLibReadMs = std::min(round.tl.tagLibReadMs, moreTl.tagLibReadMs);
        round.doc.openMs = std::min(round.doc.openMs, moreDoc.openMs);
    }
    return round;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// One line for a shape and size: each figure the median of the rounds, each
// ratio the median of the rounds' own ratios (the load on the machine moves
// both contenders of a round alike), with their spread over several rounds.
void printRounds(const char* shapeName, int n, const std::vector<Round>& rounds) {
    auto column = [&rounds](auto figure) {
        std::vector<double> values;
        for (const Round& r : rounds)
            values.push_back(figure(r));
        return values;
    };
    const std::vector<double> saveRatios =
        column([](const Round& r) { return r.doc.saveMs / r.tl.tagLibSaveMs; });
    const bool complete = std::all_of(rounds.begin(), rounds.end(), [n](const Round& r) {
        return r.doc.tracks == n && r.tl.tracks == n;
    });
    std::printf("%-7s %6d %10.1f %10.1f %9.2f %9.1f %10.1f %10.1f %9.2f %9.1f", shapeName, n,
                median(column([](const Round& r) { return r.doc.openMs; })),
                median(column([](const Round& r) { return r.tl.tagLibReadMs; })),
                median(column([](const Round& r) { return r.doc.openMs / r.tl.tagLibReadMs; })),
                median(column([](const Round& r) { return r.doc.openPeakMB; })),
                median(column([](const Round& r) { return r.doc.saveMs; })),
                median(column([](const Round& r) { return r.tl.tagLibSaveMs; })),
                median(saveRatios),
                median(column([](const Round& r) { return r.doc.savePeakMB; })));
    if (rounds.size() > 1)
        std::printf("  (%zu rounds; save/TL %.2f-%.2f)", rounds.size(),
                    *std::min_element(saveRatios.begin(), saveRatios.end()),
                    *std::max_element(saveRatios.begin(), saveRatios.end()));
    std::printf("%s\n", complete ? "" : "  (files missing!)");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QList<int> counts;
    QList<ShapeName> shapes;
    bool endToEnd = false;
    bool keepNames = false;
    int runs = 5;
    int saveRounds = 1;
    QString make;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--open-only") gOpenOnly = true;
        if (arg == "--steps") gSteps = true;
        if (arg == "--cli") endToEnd = true;
        if (arg == "--keep-names") keepNames = true;
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        if (arg == "--rounds" && i + 1 < argc) {
            saveRounds = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        if (arg == "--make" && i + 1 < argc) {
            make = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (arg == "--shape" && i + 1 < argc) {
            const QByteArray name(argv[++i]);
            for (const ShapeName& shape : kShapes)
                if (name == "all" || name == shape.name) shapes << shape;
            continue;
        }
        if (const int n = std::atoi(argv[i]); n > 0) counts << n;
    }
    if (shapes.isEmpty()) shapes << kShapes[0];
    if (counts.isEmpty()) counts = endToEnd ? QList<int>{1, 1000} : QList<int>{100, 1000, 5000};

    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Prefs::initializeDefaults();
    for (const char* key : {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey,
                            GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey})
        Prefs::setOverride(QString::fromLatin1(key), false);
    Prefs::setOverride(QString::fromLatin1(Prefs::kBackup), false);
    if (keepNames) {
        Prefs::setOverride(QString::fromLatin1(Prefs::kRenameTracks), false);
        Prefs::setOverride(QString::fromLatin1(Prefs::kRenameAlbums), false);
    }

    if (!make.isEmpty()) {
        QDir().mkpath(make);
        return makeFolder(make, shapes.front().shape, counts.front()) ? 0 : 1;
    }
    std::printf("web sources off, no backup%s%s\n", keepNames ? ", no renames" : "",
                endToEnd ? "; trovix-cli against a TagLib reader, both as processes" : "");
    if (endToEnd)
        std::printf("%-7s %6s %10s %10s %9s   (best of %d)\n", "shape", "files", "open ms",
                    "TL read", "open/TL", runs);
    else
        std::printf("%-7s %6s %10s %10s %9s %9s %10s %10s %9s %9s\n", "shape", "files", "open ms",
                    "TL read", "open/TL", "peak MB", "save ms", "TL save", "save/TL", "peak MB");
    for (const ShapeName& shape : shapes) {
        for (const int n : counts) {
            if (endToEnd) {
                QTemporaryDir tmp;
                const QString ours = tmp.path() + QStringLiteral("/Album");
                if (!makeWarmFolder(ours, shape.shape, n)) {
                    std::printf("%-7s %6d could not build the files\n", shape.name, n);
                    continue;
                }
                double oursMs = 0, tagLibMs = 0;
                measureEndToEnd(ours, runs, oursMs, tagLibMs);
                std::printf("%-7s %6d %10.1f %10.1f %9.2f\n", shape.name, n, oursMs, tagLibMs,
                            oursMs / tagLibMs);
                std::fflush(stdout);
                continue;
            }
            std::vector<Round> rounds;
            for (int r = 0; r < saveRounds; ++r) {
                const std::optional<Round> round = measureRound(shape.shape, n, runs);
                if (!round) break;
                rounds.push_back(*round);
            }
            if (rounds.empty()) {
                std::printf("%-7s %6d could not build the files\n", shape.name, n);
                continue;
            }
            printRounds(shape.name, n, rounds);
        }
    }
    return 0;
}
