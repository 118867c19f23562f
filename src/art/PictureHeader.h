#pragma once

#include <QByteArray>
#include <QSize>

// The size a stored JPEG or PNG states in its header, as shown once turned
// (a JPEG's Exif orientation), read without decoding and without the
// picture codec: an opening that only carries a folder's cover along never
// loads the image libraries. Invalid for other formats and for bytes whose
// header is cut short or damaged; bounded by the bytes, whatever they claim.
namespace PictureHeader {

QSize size(const QByteArray& bytes);

} // namespace PictureHeader
