#include "docs/LookupWorker.h"

#include "art/AlbumArt.h"
#include "model/AlbumInfoArray.h"
#include "system/ProgressIndicator.h"

#include <QSet>

bool LookupWorker::cancelled() const {
    return fProgress && fProgress->cancelled();
}

void LookupWorker::noteCancel() {
    if (cancelled()) fTempStatus = Cancelled;
}

void LookupWorker::pruneList(AlbumInfoArray* hits) {
    if (!hits || hits->isEmpty()) {
        fTempStatus = NoHits;
        return;
    }
    const int limit = hits->maxEntries();
    while (hits->count() > limit)
        hits->removeObjectAtIndex(hits->count() - 1);
}

void LookupWorker::retrieveImages(AlbumInfoArray* hits, AlbumArt* art) {
    if (!hits || !art) return;
    const int count = int(hits->count());
    if (fProgress)
        fProgress->NotifyBeginDet(QStringLiteral("Fetching cover art..."), 0, count, true);
    // The hits of one release's media share its cover: it is fetched once,
    // for the best of them.
    QSet<QString> fetched;
    for (const AlbumInfoPtr& hit : hits->array()) {
        if (cancelled()) break;
        const QString url = hit->albumCoverURL();
        if (!url.isEmpty() && !fetched.contains(url)) {
            fetched.insert(url);
            art->setImageFromURL(url, hit->totalScore(), fProgress);
        }
        if (fProgress) fProgress->NotifyBump(1);
    }
    if (fProgress) fProgress->NotifyBump(count);
}
