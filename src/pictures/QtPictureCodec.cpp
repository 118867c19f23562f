#include "pictures/QtPictureCodec.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

namespace {

// Decodes through a reader, which caps the memory a hostile file can make
// it allocate; null when it does not decode.
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

} // namespace

const QtPictureCodec& QtPictureCodec::instance() {
    static const QtPictureCodec codec;
    return codec;
}

Picture QtPictureCodec::fromImage(const QImage& image) {
    if (image.isNull()) return {};
    return Picture(std::make_shared<const QImage>(image), image.size());
}

QImage QtPictureCodec::toImage(const Picture& picture) {
    return picture.isNull() ? QImage() : *static_cast<const QImage*>(picture.pixels().get());
}

Picture QtPictureCodec::fromData(const QByteArray& bytes) const {
    return fromImage(QImage::fromData(bytes));
}

Picture QtPictureCodec::decode(const QByteArray& bytes, const QByteArray& format,
                               QByteArray* readFormat) const {
    if (bytes.isEmpty()) return {};
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // A named format is read by its own reader alone: asking which can
    // read the bytes loads every image plugin (GIF, ICO, JPEG and the
    // libraries behind them), about 2.5 ms of a one-file opening with a PNG
    // cover. Only when the name is wrong is every plugin asked.
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(format.isEmpty());
    QImage image = readImage(reader);
    if (image.isNull() && !format.isEmpty()) {
        buffer.seek(0);
        QImageReader asking(&buffer);
        image = readImage(asking);
        if (readFormat) *readFormat = asking.format();
    } else if (readFormat) {
        *readFormat = reader.format();
    }
    return fromImage(normalizedImage(image));
}

Picture QtPictureCodec::decodeFile(const QString& path) const {
    QImageReader reader(path);
    return fromImage(normalizedImage(readImage(reader)));
}

bool QtPictureCodec::probeFile(const QString& path, QSize* size) const {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead()) return false;
    QSize found = reader.size();
    if (!found.isValid()) {
        // A format whose header does not tell: the size only comes with
        // the pixels.
        const QImage image = readImage(reader);
        if (image.isNull()) return false;
        found = image.size();
    } else if (reader.transformation() & QImageIOHandler::TransformationRotate90) {
        found.transpose();
    }
    if (size) *size = found;
    return true;
}

QSize QtPictureCodec::headerSize(const QByteArray& bytes, const QByteArray& format) const {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, format).size();
}

Picture QtPictureCodec::normalized(const Picture& picture) const {
    return fromImage(normalizedImage(toImage(picture)));
}

Picture QtPictureCodec::scaled(const Picture& picture, QSize size) const {
    const QImage image = toImage(picture);
    if (image.isNull() || size.isEmpty()) return {};
    // Area-averaging scale: a painter's smooth transform samples only four
    // pixels per point and leaves big covers aliased when shrunk.
    return fromImage(image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QByteArray QtPictureCodec::encode(const Picture& picture, const QByteArray& format, int quality,
                                  QString* error) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    if (!writer.write(toImage(picture))) {
        if (error) *error = writer.errorString();
        return {};
    }
    return bytes;
}

QList<QByteArray> QtPictureCodec::readableFormats() const {
    return QImageReader::supportedImageFormats();
}
