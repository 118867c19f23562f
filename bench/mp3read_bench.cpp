// Tags read per second from 500 generated MP3 files with 100 KB covers:
// MP3File (through the MusicFile factory, picture left undecoded), MP3File
// with the cover decoded as well, TagLib's FileRef reading the basic tags, and
// a bare read of each file's first 64 KiB.
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "support/Mp3Fixture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdio>
#include <functional>

namespace {

constexpr int kFiles = 500;
constexpr int kRounds = 3;

QByteArray coverJpeg(int targetBytes) {
    QRandomGenerator random(7);
    for (int side = 160;; side += 20) {
        QImage image(side, side, QImage::Format_RGB32);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                image.setPixel(x, y, random.generate());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 90);
        if (bytes.size() >= targetBytes) return bytes;
    }
}

QByteArray text(const QByteArray& s) {
    return id3Latin1TextBody(s);
}

double perSecond(const QStringList& paths, const std::function<bool(const QString&)>& read) {
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        int ok = 0;
        for (const QString& path : paths)
            ok += read(path) ? 1 : 0;
        const double secs = double(timer.nsecsElapsed()) / 1e9;
        if (ok != paths.size())
            std::fprintf(stderr, "only %d of %lld files read\n", ok, paths.size());
        best = std::max(best, paths.size() / secs);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray cover = coverJpeg(100 * 1024);
    const QByteArray apic =
        QByteArray(1, '\0') + "image/jpeg" + '\0' + char(3) + "Album Cover" + '\0' + cover;
    QStringList paths;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const QByteArray tag = id3v2Tag(
            3,
            {id3v2Frame(3, "TIT2", text("Track " + n)), id3v2Frame(3, "TPE1", text("Some Band")),
             id3v2Frame(3, "TALB", text("Some Album")), id3v2Frame(3, "TYER", text("1999")),
             id3v2Frame(3, "TCON", text("Rock")), id3v2Frame(3, "TRCK", text(n + "/500")),
             id3v2Frame(3, "APIC", apic)},
            1024);
        const QString path = dir.filePath(QStringLiteral("%1.mp3").arg(i, 3, 10, QChar(u'0')));
        if (!writeMp3WithTag(path, tag, {.frames = 400})) return 1;
        paths.append(path);
    }

    const double mp3File = perSecond(paths, [](const QString& path) {
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        return file && !file->readTags().title.isEmpty() && file->hasImage();
    });
    const double mp3FileDecoded = perSecond(paths, [](const QString& path) {
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        return file && !file->getImage().isNull();
    });
    const double fileRef = perSecond(paths, [](const QString& path) {
        TagLib::FileRef ref(QFile::encodeName(path).constData(), true);
        if (ref.isNull() || !ref.tag()) return false;
        const TagLib::Tag* tag = ref.tag();
        return !tag->title().isEmpty() && !tag->artist().isEmpty() && !tag->album().isEmpty() &&
               tag->year() > 0 && !tag->genre().isEmpty() && tag->track() > 0 &&
               ref.audioProperties()->bitrate() > 0;
    });

    // The floor: opening each file and reading its first 64 KiB.
    const double bareRead = perSecond(paths, [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.read(64 * 1024).size() == 64 * 1024;
    });

    std::printf("%d MP3 files, %lld-byte JPEG cover each, best of %d rounds\n", kFiles,
                cover.size(), kRounds);
    std::printf("MP3File (cover kept encoded):  %8.0f files/s\n", mp3File);
    std::printf("MP3File + cover decoded:       %8.0f files/s\n", mp3FileDecoded);
    std::printf("TagLib::FileRef (basic tags):  %8.0f files/s\n", fileRef);
    std::printf("first 64 KiB read bare:        %8.0f files/s (MP3File takes %.2fx as long)\n",
                bareRead, bareRead / mp3File);
    return 0;
}
