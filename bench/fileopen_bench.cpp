// Prints how long opening one music file keeps the main thread, beside a
// folder of pictures, against the time the whole opening takes and the time
// the picture search alone takes (which the window used to wait for).
#include "art/AlbumArt.h"
#include "docs/FileTagDocument.h"
#include "docs/HeadlessHost.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/Mp3Fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void measure(int pictures) {
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    QImage image(1200, 1200, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    for (int i = 0; i < pictures; ++i)
        image.save(QStringLiteral("%1/cover %2.png").arg(dir).arg(i), "PNG");
    const QString path = dir + QStringLiteral("/song.mp3");
    if (!writeSilentMp3(path)) return;
    auto f = MusicFileFactory::newMusicFileWithPath(path);
    f->setTags({.artist = QStringLiteral("Artist")}, TagField::Artist);
    f->setTags({.title = QStringLiteral("Title")}, TagField::Title);
    SaveBatch::saveOne(*f).ok();

    QElapsedTimer t;
    t.start();
    AlbumArt art;
    art.searchForImages(dir);
    const qint64 search = t.elapsed();

    HeadlessHost host;
    FileTagDocument doc(&host);
    t.restart();
    // Clean-up only: no web source is asked.
    doc.setDocumentPath(path, true);
    const qint64 blocked = t.elapsed();
    doc.waitUntilIdle();
    const qint64 total = t.elapsed();
    std::printf("%4d pictures: main thread %4lld ms, whole opening %5lld ms, picture search "
                "alone %5lld ms\n",
                pictures, static_cast<long long>(blocked), static_cast<long long>(total),
                static_cast<long long>(search));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (int n : {0, 50, 200})
        measure(n);
    return 0;
}
