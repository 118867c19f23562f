#include "art/CoverFiles.h"

#include "art/PictureHeader.h"
#include "media/MusicFile.h"
#include "system/Log.h"
#include "system/PictureCodec.h"

#include <QFileInfo>
#include <QSaveFile>

namespace CoverFiles {

Picture normalizedImage(const Picture& image) {
    return Pictures::normalized(image);
}

Picture decodedImage(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    // Named by its first bytes, a cover loads its own plugin only, not every
    // one to ask which can read it; the reader still falls back to asking
    // when the name is wrong.
    return Pictures::decode(bytes, MusicFile::imageFormatOf(bytes));
}

QSize storedSize(const QByteArray& bytes) {
    const QSize size = PictureHeader::size(bytes);
    return size.isValid() || bytes.isEmpty() ? size : Pictures::headerSize(bytes, QByteArray());
}

Picture decodedImageFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxImageFileBytes) return {};
    return Pictures::decodeFile(path);
}

bool writeCoverFile(const Picture& picture, const QString& path) {
    if (picture.isNull()) return false;
    QString why;
    const QByteArray jpeg = Pictures::encode(picture, "jpeg", 90, &why);
    if (jpeg.isEmpty()) {
        TROVIX_LOG() << "AlbumArt: cover not encoded for" << path << ":" << why;
        return false;
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
