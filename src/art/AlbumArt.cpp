#include "art/AlbumArt.h"

#include "app/Preferences.h"
#include "art/CoverScaling.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/GrabWebPage.h"
#include "web/WebThrottle.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMutexLocker>
#include <QSaveFile>

#include <algorithm>

namespace {

// Decodes an image through a reader, which caps the memory a hostile file
// can make it allocate.
QImage readImage(QImageReader& reader) {
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

} // namespace

AlbumArt::AlbumArt(QObject* parent) : QObject(parent) {}

QImage AlbumArt::normalizedImage(const QImage& image) {
    if (image.isNull()) return image;
    QImage result = image;
    // 72 dots per inch, the resolution at which one pixel is one point.
    constexpr int kDotsPerMeter = 2835;
    result.setDotsPerMeterX(kDotsPerMeter);
    result.setDotsPerMeterY(kDotsPerMeter);
    result.setDevicePixelRatio(1.0);
    return result;
}

void AlbumArt::setImageFromFile(const QString& path, int score) {
    const QFileInfo info(path);
    // Only regular files: a pipe or device in the folder would block or
    // never end.
    if (path.isEmpty() || !info.isFile()) return;
    QImageReader reader(path);
    const QImage image = readImage(reader);
    if (image.isNull()) return;
    addImage(normalizedImage(image), AlbumArtDict::kSourceFile, path, score);
}

void AlbumArt::setImageFromURL(const QString& url, int score, ProgressIndicator* progress) {
    if (url.isNull()) return;
    QString address = url;
    const PageFetch fetched =
        FetchWebPage(address, progress, kDownloadTimeLimitSecs, gImageThrottle);
    // A missing image (the cover archive answers 404) is no cover, not a
    // failure, and its error page is no picture.
    if (fetched.status >= 400 && fetched.status < 500) return;
    const std::optional<QString>& page = fetched.body;
    if (!page) return;
    // A cancelled download comes back cut short; a cut JPEG still decodes,
    // half grey.
    if (progress && progress->cancelled()) return;
    QByteArray bytes = page->toLatin1();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QImage image = readImage(reader);
    if (image.isNull()) {
        TROVIX_LOG() << "AlbumArt: no picture at" << url;
        return;
    }
    addImage(normalizedImage(image), AlbumArtDict::kSourceURL, url, score);
}

void AlbumArt::setImageFromImage(const QImage& image, const QString& source,
                                 const QString& location, int score) {
    addImage(normalizedImage(image), source, location, score);
}

void AlbumArt::setImageFromAlbumInfo(const AlbumInfo* hit) {
    if (!hit) return;
    const QImage picture = hit->coverArt();
    if (picture.isNull() || !Prefs::boolValue(Prefs::kSearchForCoverArt)) return;
    addImage(normalizedImage(picture), AlbumArtDict::kSourceSaved, hit->coverArtLocation(),
             kSavedScore);
}

void AlbumArt::searchForImages(const QString& folderPath) {
    if (folderPath.isEmpty()) return;
    // By name, so the order (and with it the rank of equal candidates) does
    // not depend on how the file system lists the folder.
    const QStringList entries =
        QDir(folderPath)
            .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name | QDir::IgnoreCase);
    for (const QString& entry : entries)
        setImageFromFile(QStringLiteral("%1/%2").arg(folderPath, entry), kFileScore);
}

void AlbumArt::searchForImage(const QString& path) {
    setImageFromFile(path, kFileScore);
}

void AlbumArt::imageDropped(const QImage& image) {
    if (image.isNull()) return;
    addImage(normalizedImage(image), AlbumArtDict::kSourceDrop, QString(), kDropScore);
}

void AlbumArt::fileDropped(const QString& path) {
    setImageFromFile(path, kDropScore);
}

void AlbumArt::addImage(const QImage& image, const QString& source, const QString& location,
                        int score) {
    auto record = std::make_shared<AlbumArtDict>();
    record->setSizeDescr(QStringLiteral(""));
    record->setSource(source);
    record->setImage(image);
    record->setScore(score);
    record->setLocation(location);
    record->setSourceDescr(AlbumArtDict::describeSource(source, location));
    if (!image.isNull()) record->setSizeDescr(AlbumArtDict::describeSize(image.size()));
    {
        QMutexLocker locker(&fLock);
        fAlbumArtDictArray.addRanked(record);
        syncImage(*record);
    }
    emit changed();
}

void AlbumArt::syncImage(const AlbumArtDict& record) {
    fShown = record;
    fSource = record.sourceDescr();
    const QString size = record.sizeDescr();
    if (!size.isNull()) {
        fMainWindowSize = size;
        fSize = size;
    }
    updateDisplaySize();
}

void AlbumArt::updateDisplaySize() {
    // Until a view reports its size there is nothing true to say.
    if (!fPanelViewSize) return;
    fDisplaySize = QStringLiteral("%1 x %2")
                       .arg(std::max(0, fPanelViewSize->width() - 6))
                       .arg(std::max(0, fPanelViewSize->height() - 6));
}

void AlbumArt::reset() {
    {
        QMutexLocker locker(&fLock);
        if (fAlbumArtDictArray.isEmpty()) return;
        fCurrentImage = 0;
        syncImage(*fAlbumArtDictArray.objectAtIndex(0));
    }
    emit changed();
}

void AlbumArt::next() {
    {
        QMutexLocker locker(&fLock);
        const qsizetype n = fAlbumArtDictArray.count();
        if (n == 0) return;
        fCurrentImage = fCurrentImage + 1 >= n ? 0 : fCurrentImage + 1;
        syncImage(*fAlbumArtDictArray.objectAtIndex(fCurrentImage));
    }
    emit changed();
}

void AlbumArt::clear() {
    {
        QMutexLocker locker(&fLock);
        fShown.reset();
        fSource = QStringLiteral("No image");
        fMainWindowSize = QStringLiteral("(none)");
        fSize = QStringLiteral("");
        fDisplaySize = QStringLiteral("");
    }
    emit changed();
}

std::optional<AlbumArtDict> AlbumArt::shownCandidate() const {
    QMutexLocker locker(&fLock);
    return fShown;
}

QImage AlbumArt::shownImage() const {
    QMutexLocker locker(&fLock);
    return fShown ? fShown->image() : QImage();
}

QString AlbumArt::sourceText() const {
    QMutexLocker locker(&fLock);
    return fSource;
}

QString AlbumArt::sizeText() const {
    QMutexLocker locker(&fLock);
    return fSize;
}

QString AlbumArt::windowSizeText() const {
    QMutexLocker locker(&fLock);
    return fMainWindowSize;
}

QString AlbumArt::displaySizeText() const {
    QMutexLocker locker(&fLock);
    return fDisplaySize;
}

void AlbumArt::setPanelViewSize(QSize size) {
    {
        QMutexLocker locker(&fLock);
        fPanelViewSize = size;
        updateDisplaySize();
    }
    emit changed();
}

bool AlbumArt::nextEnabled() const {
    QMutexLocker locker(&fLock);
    return fAlbumArtDictArray.count() >= 2;
}

int AlbumArt::count() const {
    QMutexLocker locker(&fLock);
    return int(fAlbumArtDictArray.count());
}

AlbumArtDictArray AlbumArt::candidates() const {
    QMutexLocker locker(&fLock);
    return fAlbumArtDictArray.deepCopy();
}

bool AlbumArt::writeCoverFile(const QImage& picture, const QString& path) {
    if (picture.isNull()) return false;
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        if (!writer.write(picture)) {
            TROVIX_LOG() << "AlbumArt: cover not encoded for" << path << ":"
                         << writer.errorString();
            return false;
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        TROVIX_LOG() << "AlbumArt: cannot write" << path << ":" << file.errorString();
        return false;
    }
    // An unfinished QSaveFile is discarded, never renamed over the old file.
    if (file.write(jpeg) != jpeg.size() || !file.commit()) {
        TROVIX_LOG() << "AlbumArt: writing" << path << "failed:" << file.errorString();
        return false;
    }
    return true;
}

void AlbumArt::saveImage(AudioTrack& track, const QString& folderPath) {
    const QImage picture = shownImage();
    // Nothing shown (nothing found, or the views were cleared): the tags keep
    // whatever picture they hold rather than lose it to an empty one.
    if (picture.isNull()) return;
    const bool embed = Prefs::boolValue(Prefs::kEmbedCoverInTags);
    if (embed) {
        const QImage scaled = scaledImage(picture);
        if (!scaled.isNull()) track.tagImage(scaled);
    }
    if (Prefs::boolValue(Prefs::kSaveCoverToFile)) {
        const QString path =
            QStringLiteral("%1/%2.jpg").arg(folderPath, Prefs::stringValue(Prefs::kCoverFileName));
        // The embedded picture moves to the file only once the file holds it.
        if (writeCoverFile(picture, path) && !embed) track.tagImage(QImage());
    }
}

void AlbumArt::saveImage(AudioTrack& track) {
    const QImage scaled = scaledImage(shownImage());
    if (!scaled.isNull()) track.tagImage(scaled);
}
