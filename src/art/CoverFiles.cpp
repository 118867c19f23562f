#include "art/CoverFiles.h"

#include "system/Log.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace CoverFiles {

QImage readImage(QImageReader& reader) {
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

QImage normalizedImage(const QImage& image) {
    if (image.isNull()) return image;
    QImage result = image;
    // 72 dots per inch, the resolution at which one pixel is one point.
    constexpr int kDotsPerMeter = 2835;
    result.setDotsPerMeterX(kDotsPerMeter);
    result.setDotsPerMeterY(kDotsPerMeter);
    result.setDevicePixelRatio(1.0);
    return result;
}

QImage decodedImage(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // Named by its first bytes, a JPEG or PNG cover loads its own plugin
    // only, not every one to ask which can read it; the reader still
    // falls back to asking when the name is wrong.
    const char* format = bytes.startsWith("\xFF\xD8\xFF")        ? "jpeg"
                         : bytes.startsWith("\x89PNG\r\n\x1A\n") ? "png"
                                                                 : nullptr;
    QImageReader reader(&buffer, format);
    return normalizedImage(readImage(reader));
}

QImage decodedImageFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxImageFileBytes) return {};
    QImageReader reader(path);
    return normalizedImage(readImage(reader));
}

bool writeCoverFile(const QImage& picture, const QString& path) {
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
    return writeCoverBytes(jpeg, path);
}

bool writeCoverBytes(const QByteArray& jpeg, const QString& path) {
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

} // namespace CoverFiles
