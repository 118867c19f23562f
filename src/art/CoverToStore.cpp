#include "art/CoverToStore.h"

#include "art/CoverFiles.h"

#include <QFile>

namespace {

// Whether the file at `path` holds exactly `bytes`.
bool fileHolds(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.size() == bytes.size() && file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

} // namespace

void CoverToStore::setEmbedded(const QByteArray& fileFormat, const QByteArray& bytes,
                               const QByteArray& format) {
    fEmbed = true;
    fEmbedded.insert(fileFormat, qMakePair(bytes, format));
}

void CoverToStore::setFile(const QString& path, const QByteArray& jpeg, const Picture& image) {
    fFilePath = path;
    fFileJpeg = jpeg;
    fFileImage = image;
}

bool CoverToStore::writeFile() const {
    if (fFilePath.isNull()) return false;
    // A JPEG from tags is the file as it is.
    if (!fFileJpeg.isEmpty())
        return fileHolds(fFilePath, fFileJpeg) || CoverFiles::writeCoverBytes(fFileJpeg, fFilePath);
    return CoverFiles::writeCoverFile(fFileImage, fFilePath);
}
