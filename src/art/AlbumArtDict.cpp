#include "art/AlbumArtDict.h"

#include "art/CoverFiles.h"

#include <QFileInfo>
#include <QSize>

Picture AlbumArtDict::image() const {
    const auto it = fDict.constFind(kImageKey);
    if (it != fDict.constEnd()) return it->value<Picture>();
    const QByteArray bytes = imageData();
    if (!bytes.isEmpty()) return CoverFiles::decodedImage(bytes);
    if (source() == kSourceFile && pixelSize().isValid())
        return CoverFiles::decodedImageFile(location());
    return {};
}

bool AlbumArtDict::hasImage() const {
    return fDict.contains(kImageKey) || fDict.contains(kImageDataKey) ||
           (source() == kSourceFile && pixelSize().isValid());
}

QSize AlbumArtDict::pixelSize() const {
    const auto it = fDict.constFind(kPixelSizeKey);
    if (it != fDict.constEnd()) return it->toSize();
    const auto image = fDict.constFind(kImageKey);
    return image == fDict.constEnd() ? QSize() : image->value<Picture>().size();
}

void AlbumArtDict::setImage(const Picture& image) {
    if (!image.isNull()) fDict.insert(kImageKey, QVariant::fromValue(image));
}

void AlbumArtDict::setImageData(const QByteArray& bytes) {
    if (!bytes.isEmpty()) fDict.insert(kImageDataKey, bytes);
}

void AlbumArtDict::setPixelSize(QSize size) {
    if (size.isValid()) fDict.insert(kPixelSizeKey, size);
}

QString AlbumArtDict::stringFor(const QString& key) const {
    auto it = fDict.constFind(key);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void AlbumArtDict::setString(const QString& key, const QString& value) {
    if (!value.isNull()) fDict.insert(key, value);
}

QString AlbumArtDict::describeSource(const QString& source, const QString& location) {
    if (source == kSourceSaved) return QStringLiteral("Original image from tags");
    if (source == kSourceFile) return QFileInfo(location).fileName();
    if (source == kSourceURL) return QStringLiteral("Retrieved from internet");
    if (source == kSourceDrop) return QStringLiteral("Added by user");
    if (source == kSourceEmpty) return QStringLiteral("(No image)");
    return QStringLiteral("unknown");
}

QString AlbumArtDict::describeSize(QSize size) {
    if (size.width() == 0 && size.height() == 0) return QStringLiteral("(none)");
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

QString AlbumArtDict::description() const {
    // Pictures would flood the log; their size stands in for them.
    QString text = QStringLiteral("%1 dict at %2, %3 items.\n")
                       .arg(QLatin1String(className()))
                       .arg(quintptr(this), 0, 16)
                       .arg(fDict.size());
    text += u"{\n";
    for (auto it = fDict.constBegin(); it != fDict.constEnd(); ++it) {
        QString value;
        if (it.key() == kImageKey) {
            const Picture picture = it->value<Picture>();
            value = QStringLiteral("<image %1 x %2>").arg(picture.width()).arg(picture.height());
        } else if (it.key() == kImageDataKey) {
            value = QStringLiteral("<%1 bytes>").arg(it->toByteArray().size());
        } else {
            value = it->toString();
        }
        text += QStringLiteral("    %1 = \"%2\";\n").arg(it.key(), value);
    }
    text += u"}\n";
    return text;
}
