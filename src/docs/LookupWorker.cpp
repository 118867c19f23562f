#include "docs/LookupWorker.h"

#include "art/AlbumArt.h"
#include "model/AlbumInfoArray.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/LookupDeadline.h"

bool LookupWorker::outOfTime(const char* step) {
    if (!LookupDeadline::passed()) return false;
    if (!fOutOfTimeLogged)
        TROVIX_LOG()
            << QStringLiteral(
                   "look-up time is up, stopped at the %1; the hits found so far are shown")
                   .arg(QLatin1String(step));
    fOutOfTimeLogged = true;
    return true;
}

#include <QSet>

bool LookupWorker::cancelled() const {
    return fProgress && fProgress->cancelled();
}

void LookupWorker::noteCancel() {
    if (cancelled()) fTempStatus = Cancelled;
}

void LookupWorker::pruneList(AlbumInfoArray* hits) {
    if (!hits || hits->isEmpty()) {
        // A cancelled search found nothing because it was cancelled.
        if (fTempStatus != Cancelled) fTempStatus = NoHits;
        return;
    }
    const int limit = hits->maxEntries();
    while (hits->count() > limit)
        hits->removeObjectAtIndex(hits->count() - 1);
}

QList<AlbumArt::Candidate> LookupWorker::retrieveImages(AlbumInfoArray* hits) {
    QList<AlbumArt::Candidate> covers;
    if (!hits) return covers;
    const int count = int(hits->count());
    if (fProgress)
        fProgress->NotifyBeginDet(QStringLiteral("Fetching cover art..."), 0, count, true);
    // The hits of one release's media share its cover: it is fetched once,
    // for the best of them.
    QSet<QString> fetched;
    for (const AlbumInfoPtr& hit : hits->array()) {
        if (cancelled() || outOfTime("covers")) break;
        const QString url = hit->albumCoverURL();
        if (!url.isEmpty() && !fetched.contains(url)) {
            fetched.insert(url);
            if (AlbumArt::Candidate cover =
                    AlbumArt::candidateFromURL(url, hit->totalScore(), fProgress))
                covers << cover;
        }
        if (fProgress) fProgress->NotifyBump(1);
    }
    if (fProgress) fProgress->NotifyBump(count);
    return covers;
}
