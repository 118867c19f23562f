// Tag reading against TagLib's own FileRef, and the cost of an in-place M4A
// save as the file grows. Prints figures; asserts nothing.
//
//   tagread_bench [files-per-format]
#include "media/M4AFile.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#if __has_include("support/Mp3Fixture.h")
#include "support/Mp3Fixture.h"
#define TROVIX_BENCH_MP3 1
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#endif

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QByteArray noise(int n, uint32_t seed) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        b[i] = char(seed >> 24);
    }
    return b;
}

// Pretend JPEG: the bytes are never decoded by either reader.
QByteArray coverBytes() {
    return QByteArray("\xFF\xD8\xFF\xE0", 4) + noise(100 * 1024, 7);
}

#ifdef TROVIX_BENCH_MP3
bool addMp3Cover(const QString& path, const QByteArray& cover) {
    TagLib::MPEG::File f(QFile::encodeName(path).constData());
    if (!f.isValid()) return false;
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setMimeType("image/jpeg");
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(TagLib::ByteVector(cover.constData(), unsigned(cover.size())));
    f.ID3v2Tag(true)->addFrame(frame);
    f.ID3v2Tag(true)->setTitle("Bench title");
    return f.save();
}
#endif

void readFirstBytes(const QStringList& files) {
    static char buffer[64 * 1024];
    for (const QString& p : files) {
        QFile f(p);
        if (f.open(QIODevice::ReadOnly)) f.read(buffer, sizeof buffer);
    }
}

double ourRead(const QStringList& files, int& ok) {
    ok = 0;
    const auto start = Clock::now();
    for (const QString& p : files) {
        auto file = MusicFileFactory::newMusicFileWithPath(p);
        if (file && !file->readTags().title.isEmpty() && file->hasImage()) ++ok;
    }
    return secondsSince(start);
}

double tagLibRead(const QStringList& files, int& ok) {
    ok = 0;
    const auto start = Clock::now();
    for (const QString& p : files) {
        TagLib::FileRef ref(QFile::encodeName(p).constData());
        if (!ref.isNull() && ref.tag() && !ref.tag()->title().isEmpty()) ++ok;
    }
    return secondsSince(start);
}

double timeOf(void (*f)(const QStringList&), const QStringList& files) {
    const auto start = Clock::now();
    f(files);
    return secondsSince(start);
}

// Mean time of an in-place save after a title change, and of one whole-file
// rewrite, for a file with that much audio.
void saveTimes(const QString& dir, int mdatBytes, const char* label) {
    const QString path = dir + QStringLiteral("/save.m4a");
    if (!writeM4a(path, {.mdatBytes = mdatBytes})) return;
    {
        // Flushed first, so that the first save does not pay for writing
        // the freshly made file.
        QFile f(path);
        if (f.open(QIODevice::ReadWrite)) ::fsync(f.handle());
    }
    auto file = M4AFile::newM4AFileWithPath(path);
    if (!file) return;
    const int rounds = 20;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        file->setTags({.title = QStringLiteral("Title %1").arg(i)}, TagField::Title);
        const Outcome saved = SaveBatch::saveOne(*file);
        if (!saved.ok()) std::printf("save failed: %s\n", qPrintable(saved.reason));
    }
    const double inPlace = secondsSince(start) / rounds;
    file->setTags({.album = QString(4000, u'x')}, TagField::Album); // past the padding
    const auto wholeStart = Clock::now();
    SaveBatch::saveOne(*file).ok();
    const double whole = secondsSince(wholeStart);
    std::printf("  %-7s in place %7.2f ms per save (mean of %d), whole-file rewrite %8.2f ms\n",
                label, inPlace * 1000, rounds, whole * 1000);
    QFile::remove(path);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int perFormat = argc > 1 ? std::atoi(argv[1]) : 500;
    QTemporaryDir dir;
    const QByteArray cover = coverBytes();

    QStringList m4a;
    for (int i = 0; i < perFormat; ++i) {
        const QString p = dir.filePath(QStringLiteral("%1.m4a").arg(i, 4, 10, QChar(u'0')));
        if (writeM4a(p, {.mdatBytes = 256 * 1024, .cover = cover, .coverType = 13})) m4a << p;
    }
    QStringList mp3;
#ifdef TROVIX_BENCH_MP3
    for (int i = 0; i < perFormat; ++i) {
        const QString p = dir.filePath(QStringLiteral("%1.mp3").arg(i, 4, 10, QChar(u'0')));
        if (writeSilentMp3(p) && addMp3Cover(p, cover)) mp3 << p;
    }
    if (!mp3.isEmpty() && !MusicFileFactory::newMusicFileWithPath(mp3.front())) mp3.clear();
#endif
    std::printf("tagread_bench: %lld M4A and %lld MP3 files, each with a 100 KB cover%s\n",
                qint64(m4a.size()), qint64(mp3.size()),
                mp3.isEmpty() ? " (MP3 reader not built here: M4A only)" : "");

    const QStringList all = m4a + mp3;
    readFirstBytes(all); // warm cache
    int ok = 0;
    ourRead(all, ok);
    tagLibRead(all, ok);

    const QStringList* sets[] = {&m4a, &mp3, &all};
    const char* names[] = {"M4A", "MP3", "all"};
    for (int s = 0; s < 3; ++s) {
        const QStringList& files = *sets[s];
        if (files.isEmpty() || (s == 2 && (m4a.isEmpty() || mp3.isEmpty()))) continue;
        int ourOk = 0, theirOk = 0;
        const double ours = ourRead(files, ourOk);
        const double theirs = tagLibRead(files, theirOk);
        const double bytes = timeOf(readFirstBytes, files);
        std::printf("%-4s %5lld files: ours %.3f s (%.0f tags/s, %d read), TagLib FileRef %.3f s "
                    "(%.0f tags/s, %d read), ratio ours/TagLib %.2f; first 64 KiB of each %.3f s\n",
                    names[s], qint64(files.size()), ours, files.size() / ours, ourOk, theirs,
                    files.size() / theirs, theirOk, ours / theirs, bytes);
    }

    std::printf("M4A save with the title changed:\n");
    saveTimes(dir.path(), 1 << 20, "1 MB");
    saveTimes(dir.path(), 200 << 20, "200 MB");
    return 0;
}
