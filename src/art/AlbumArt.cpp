#include "art/AlbumArt.h"

#include "app/Preferences.h"
#include "model/AlbumInfo.h"

#include <QDir>
#include <QImageReader>
#include <QMutexLocker>

void AlbumArt::add(const QString& source, const QString& location, int score) {
    {
        QMutexLocker locker(&fLock);
        qsizetype at = 0;
        while (at < fList.size() && fList[at].score >= score)
            ++at;
        fList.insert(at, {source, location, score});
    }
    emit changed();
}

void AlbumArt::setImageFromFile(const QString& path, int score) {
    if (QImageReader(path).read().isNull()) return;
    add(QStringLiteral("file"), path, score);
}

void AlbumArt::setImageFromURL(const QString& url, int score, ProgressIndicator*) {
    if (url.isNull()) return;
    add(QStringLiteral("url"), url, score);
}

void AlbumArt::setImageFromImage(const QImage& image, const QString& source,
                                 const QString& location, int score) {
    if (!image.isNull()) add(source, location, score);
}

void AlbumArt::setImageFromAlbumInfo(const AlbumInfo* hit) {
    if (!hit || hit->coverArt().isNull() || !Prefs::boolValue(Prefs::kSearchForCoverArt)) return;
    add(QStringLiteral("saved"), hit->coverArtLocation(), kSavedScore);
}

void AlbumArt::searchForImages(const QString& folderPath) {
    for (const QString& name : QDir(folderPath).entryList(QDir::Files, QDir::Name))
        setImageFromFile(folderPath + u'/' + name, kFileScore);
}

int AlbumArt::count() const {
    QMutexLocker locker(&fLock);
    return int(fList.size());
}

QList<AlbumArtCandidate> AlbumArt::candidateList() const {
    QMutexLocker locker(&fLock);
    return fList;
}
