#pragma once

#include "system/Picture.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// Pictures read from and written to files and tag bytes: hostile input read
// with bounds, output written so a failure leaves any earlier file as it was.
namespace CoverFiles {

// Image files larger than this are not read.
inline constexpr qint64 kMaxImageFileBytes = 50LL * 1024 * 1024;

// One pixel per unit whatever resolution the file states.
Picture normalizedImage(const Picture& image);
// Stored picture bytes or an image file, decoded and normalized; null when
// they do not decode.
Picture decodedImage(const QByteArray& bytes);
Picture decodedImageFile(const QString& path);
// The size stored picture bytes state, read from their header alone (JPEG
// and PNG without the codec); invalid when it cannot be read there.
QSize storedSize(const QByteArray& bytes);
// Writes the picture as a JPEG (quality 90) through a temporary file in the
// same folder. False, and logged, on failure.
bool writeCoverFile(const Picture& picture, const QString& path);
// The same for bytes already encoded.
bool writeCoverBytes(const QByteArray& jpeg, const QString& path);

} // namespace CoverFiles
