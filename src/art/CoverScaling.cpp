#include "art/CoverScaling.h"

#include "art/AlbumArtDict.h"
#include "art/CoverOptions.h"
#include "system/Log.h"
#include "system/PictureCodec.h"

#include <QFileInfo>

#include <cmath>

double computeFactor(QSize pictureSize, const CoverOptions& options) {
    if (!options.resize) return 1.0;
    const double width = pictureSize.width();
    const double height = pictureSize.height();
    // No picture: nothing to bring to size, and no division by zero.
    if (width <= 0 || height <= 0) return 1.0;
    const double pixels = options.resizePixels;
    double factor = width > height ? pixels / width : pixels / height;
    switch (options.resizeOption) {
    case 1: // only enlarge
        factor = std::max(factor, 1.0);
        break;
    case 2: // only shrink
        factor = std::min(factor, 1.0);
        break;
    default:
        break;
    }
    return factor;
}

Picture scaledImage(const Picture& picture, const CoverOptions& options) {
    if (picture.isNull()) return {};
    const double factor = computeFactor(picture.size(), options);
    const double width = picture.width() * factor;
    const double height = picture.height() * factor;
    const QSize size(int(std::lround(width)), int(std::lround(height)));
    // Area averaging (the codec's scale), so big covers shrink unaliased.
    Picture result;
    if (!size.isEmpty()) result = Pictures::scaled(picture, size);
    if (result.isNull()) {
        TROVIX_LOG() << QString::asprintf("Why is newImage nil? Size = (%f,%f)", width, height);
        return {};
    }
    return result;
}

QString toolTipForCandidate(const AlbumArtDict* candidate) {
    const QString noImage = QStringLiteral("(No image)");
    if (!candidate || candidate->source().isNull() || !candidate->hasImage()) return noImage;
    const QString source = candidate->source();
    if (source == AlbumArtDict::kSourceEmpty) return noImage;
    if (source == AlbumArtDict::kSourceFile) {
        const QString location = candidate->location();
        return location.isNull() ? QStringLiteral("File") : QFileInfo(location).fileName();
    }
    if (source == AlbumArtDict::kSourceDrop) return QStringLiteral("Dropped image");
    if (source == AlbumArtDict::kSourceURL) return QStringLiteral("Retrieved from internet");
    if (source == AlbumArtDict::kSourceSaved) return QStringLiteral("Saved image");
    return {};
}

QRectF centerRect(QRectF rect, QPointF point) {
    return QRectF(point - QPointF(rect.width() / 2, rect.height() / 2), rect.size());
}
