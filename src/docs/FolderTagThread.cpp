#include "docs/FolderTagThread.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/SearchString.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"
#include "model/CustomTag.h"
#include "system/ProgressIndicator.h"

FolderTagThread::FolderTagThread(ProgressIndicator* progress, bool cleanUpOnly,
                                 LookupSources sources)
    : LookupWorker(progress, cleanUpOnly), fSources(std::move(sources)) {}

void FolderTagThread::initializeHits(int trackCount, AlbumDetailsPtr tagDetails) {
    fFTTHits = std::make_shared<AlbumInfoArray>();
    fFTTHits->setFolderTrackCount(trackCount);
    fTagDetails = std::move(tagDetails);
}

ScoreWeights FolderTagThread::weightsFor(const QString& terms) const {
    return TrovixDocument::scoreWeightsFor(terms, fTagDetails);
}

void FolderTagThread::addAlbumHitsFromCustomTag(const CustomTag* tag) {
    if (!fFTTHits) initializeHits(0, nullptr);
    if (fNCProgressSheet)
        fNCProgressSheet->NotifyBeginInd(QStringLiteral("Running saved search..."), true);
    const QString terms = tag ? tag->iadbSearchTerms() : QString();
    const ScoreWeights weights = weightsFor(terms);
    if (fSources.savedSearch && tag)
        fSources.savedSearch(*fFTTHits, tag, weights, fNCProgressSheet);
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromMB(const QString& terms) {
    if (!fFTTHits) initializeHits(0, nullptr);
    if (fNCProgressSheet)
        fNCProgressSheet->NotifyBeginInd(QStringLiteral("Searching MusicBrainz..."), true);
    const ScoreWeights weights = weightsFor(terms);
    if (fSources.musicBrainz) fSources.musicBrainz(*fFTTHits, terms, weights, fNCProgressSheet);
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromAMG(const QString& terms) {
    if (!fFTTHits) initializeHits(0, nullptr);
    if (fNCProgressSheet)
        fNCProgressSheet->NotifyBeginInd(QStringLiteral("Searching All Music Guide..."), true);
    const ScoreWeights weights = weightsFor(terms);
    if (fSources.amg) fSources.amg(*fFTTHits, terms, weights, fNCProgressSheet);
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromGOOG(const QString& terms) {
    if (!fFTTHits) initializeHits(0, nullptr);
    if (fNCProgressSheet)
        fNCProgressSheet->NotifyBeginInd(QStringLiteral("Searching Google Music..."), true);
    const ScoreWeights weights = weightsFor(terms);
    if (fSources.goog) fSources.goog(*fFTTHits, terms, weights, fNCProgressSheet);
    noteCancel();
}

void FolderTagThread::addDiscHits(const LookupSources::Search& search, const QString& caption,
                                  const QString& terms) {
    if (!fFTTHits) initializeHits(0, nullptr);
    const ScoreWeights weights = weightsFor(terms);
    if (fNCProgressSheet) fNCProgressSheet->NotifyBeginInd(caption, true);
    if (search) {
        search(*fFTTHits, terms, weights, fNCProgressSheet);
        // The disc databases match whole phrases, so an album title that the
        // site spells differently still turns up under the artist alone. A
        // compilation's artist part says nothing, so it is not searched.
        QString artist, album;
        if (!cancelled() && !terms.contains(QStringLiteral("various"), Qt::CaseInsensitive) &&
            DecomposeSearchString(terms, &artist, &album))
            search(*fFTTHits, artist, weights, fNCProgressSheet);
    }
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromGNUDB(const QString& terms) {
    addDiscHits(fSources.gnudb, QStringLiteral("Searching gnudb..."), terms);
}

void FolderTagThread::addAlbumHitsFromFreeDB(const QString& terms) {
    addDiscHits(fSources.freedb, QStringLiteral("Searching FreeDB..."), terms);
}

void FolderTagThread::addAlbumHitsFromWeb(const QString& terms) {
    if (Prefs::boolValue(Prefs::kSearchMB)) addAlbumHitsFromMB(terms);
    if (Prefs::boolValue(Prefs::kSearchAMG)) addAlbumHitsFromAMG(terms);
    if (Prefs::boolValue(Prefs::kSearchGOOG)) addAlbumHitsFromGOOG(terms);
    if (Prefs::boolValue(Prefs::kSearchGNUDB)) addAlbumHitsFromGNUDB(terms);
    if (Prefs::boolValue(Prefs::kSearchFreeDB)) addAlbumHitsFromFreeDB(terms);
}

void FolderTagThread::pruneAlbumList() {
    pruneList(fFTTHits.get());
}

void FolderTagThread::retrieveTracks() {
    if (!fFTTHits) return;
    const int count = int(fFTTHits->count());
    if (fNCProgressSheet) {
        fNCProgressSheet->NotifyBeginDet(QStringLiteral("Fetching album details..."), 0, count,
                                         true);
        fNCProgressSheet->NotifyBump(1);
    }
    for (const AlbumInfoPtr& hit : fFTTHits->array()) {
        if (!hit->albumDetails() && fSources.details)
            hit->setAlbumDetails(fSources.details(*hit, fNCProgressSheet));
        if (const std::shared_ptr<AlbumDetails> details = hit->albumDetails()) {
            hit->setYear(details->year());
            hit->setGenre(details->genre());
            hit->setAlbumCoverURL(details->albumCoverURL());
        }
        if (fNCProgressSheet) fNCProgressSheet->NotifyBump(1);
        if (cancelled()) break;
    }
    QList<AlbumInfoPtr>& list = fFTTHits->array();
    list.removeIf([](const AlbumInfoPtr& hit) { return !hit->albumDetails(); });
    if (fNCProgressSheet) fNCProgressSheet->NotifyBump(int(list.size()));
}

void FolderTagThread::retrieveImagesFromAlbumDetails(AlbumArt* art) {
    retrieveImages(fFTTHits.get(), art);
}

void FolderTagThread::addHit(const std::shared_ptr<AlbumInfo>& hit) {
    if (!fFTTHits) initializeHits(0, nullptr);
    fFTTHits->addSorted(hit, std::nullopt, 0);
}

std::shared_ptr<AlbumInfoArray> FolderTagThread::hits() const {
    return fFTTHits ? fFTTHits->copy() : nullptr;
}
