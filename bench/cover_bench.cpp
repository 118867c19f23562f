// Prints what the cover-art steps cost on this machine: scanning an album
// folder for pictures, scaling a large cover for the tags and writing the
// cover file that saving writes once per track.
#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "art/CoverFiles.h"
#include "art/CoverOptions.h"
#include "art/CoverScaling.h"
#include "pictures/QtPictureCodec.h"
#include "support/Mp3Fixture.h"

#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds per run, over at least a second of runs.
double timeIt(const std::function<void()>& step) {
    int runs = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration::zero();
    while (elapsed < std::chrono::seconds(1) || runs < 3) {
        step();
        ++runs;
        elapsed = Clock::now() - start;
    }
    return std::chrono::duration<double, std::milli>(elapsed).count() / runs;
}

QImage gradient(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgb(x * 255 / side, y * 255 / side, (x ^ y) & 0xFF));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    PictureCodecs::install(&QtPictureCodec::instance());
    Prefs::initializeDefaults();
    CoverOptions resize;
    resize.resize = true;
    resize.resizePixels = 300;

    QTemporaryDir folder;
    const QImage big = gradient(1500);
    const Picture bigPicture = QtPictureCodec::fromImage(big);
    big.save(folder.filePath("folder.jpg"), "JPEG", 90);
    big.save(folder.filePath("back.png"), "PNG");
    for (int i = 1; i <= 14; ++i)
        writeSilentMp3(folder.filePath(QStringLiteral("%1 Track.mp3").arg(i, 2, 10, QChar('0'))),
                       {.frames = 2000});

    const double scan = timeIt([&] {
        AlbumArt art;
        art.searchForImages(folder.path());
    });
    std::printf("folder scan (14 MP3s, a 1500x1500 JPEG and PNG): %.1f ms\n", scan);

    const double scale = timeIt([&] { (void)scaledImage(bigPicture, resize); });
    std::printf("scale 1500x1500 to 300x300 for the tags:          %.1f ms\n", scale);

    const QString cover = folder.filePath("Cover Art.jpg");
    const double write = timeIt([&] { CoverFiles::writeCoverFile(bigPicture, cover); });
    std::printf("write the 1500x1500 cover file (JPEG 90, rename): %.1f ms\n", write);
    return 0;
}
