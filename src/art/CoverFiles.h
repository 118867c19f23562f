#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QImageReader;

// Pictures read from and written to files and tag bytes: hostile input read
// with bounds, output written so a failure leaves any earlier file as it was.
namespace CoverFiles {

// Image files larger than this are not read.
inline constexpr qint64 kMaxImageFileBytes = 50LL * 1024 * 1024;

// Decodes an image through a reader, which caps the memory a hostile file
// can make it allocate; null when it does not decode.
QImage readImage(QImageReader& reader);
// One pixel per unit whatever resolution the file states.
QImage normalizedImage(const QImage& image);
// Stored picture bytes or an image file, decoded and normalized; null when
// they do not decode.
QImage decodedImage(const QByteArray& bytes);
QImage decodedImageFile(const QString& path);
// Writes the picture as a JPEG (quality 90) through a temporary file in the
// same folder. False, and logged, on failure.
bool writeCoverFile(const QImage& picture, const QString& path);
// The same for bytes already encoded.
bool writeCoverBytes(const QByteArray& jpeg, const QString& path);

} // namespace CoverFiles
