#include "docs/FolderTagThread.h"

#include "art/AlbumArt.h"
#include "docs/SearchString.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"
#include "model/CustomTag.h"
#include "system/ProgressIndicator.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"

#include <QHash>
#include <QSet>

#include <algorithm>

FolderTagThread::FolderTagThread(ProgressIndicator* progress, bool cleanUpOnly,
                                 LookupSources sources)
    : LookupWorker(progress, cleanUpOnly), fSources(std::move(sources)),
      fOptions(SourceOptions::fromPreferences()) {}

void FolderTagThread::initializeHits(int trackCount, AlbumDetailsPtr tagDetails) {
    fFTTHits = std::make_shared<AlbumInfoArray>();
    fFTTHits->setFolderTrackCount(trackCount);
    fFTTHits->setMaxEntries(fOptions.maxEntries);
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
        fSources.savedSearch(*fFTTHits, tag, weights, fOptions, fNCProgressSheet);
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromSource(const MusicSource& source, const QString& terms) {
    if (!fFTTHits) initializeHits(0, nullptr);
    const ScoreWeights weights = weightsFor(terms);
    if (fNCProgressSheet) fNCProgressSheet->NotifyBeginInd(source.searchCaption(), true);
    const LookupSources::Search search = fSources.albumSearches.value(source.name());
    if (search) {
        search(*fFTTHits, terms, weights, fOptions, fNCProgressSheet);
        // The disc databases match whole phrases, so an album title that the
        // site spells differently still turns up under the artist alone. A
        // compilation's artist part says nothing, so it is not searched.
        QString artist, album;
        if (source.searchesArtistAlone() && !fOneSearchPerSource && !cancelled() &&
            !terms.contains(QStringLiteral("various"), Qt::CaseInsensitive) &&
            DecomposeSearchString(terms, &artist, &album))
            search(*fFTTHits, artist, weights, fOptions, fNCProgressSheet);
    }
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromWeb(const QString& terms) {
    for (const MusicSource* source : MusicSources::all())
        if ((source->serves() & MusicSource::Albums) && fOptions.enabled(*source))
            addAlbumHitsFromSource(*source, terms);
}

void FolderTagThread::pruneAlbumList() {
    pruneList(fFTTHits.get());
}

void FolderTagThread::retrieveDetails(const AlbumInfoPtr& hit) {
    if (!hit->albumDetails() && fSources.details)
        hit->setAlbumDetails(fSources.details(*hit, fOptions, fNCProgressSheet));
    if (const std::shared_ptr<AlbumDetails> details = hit->albumDetails()) {
        hit->setYear(details->year());
        hit->setGenre(details->genre());
        hit->setAlbumCoverURL(details->albumCoverURL());
    }
}

void FolderTagThread::dropHitsWithoutDetails() {
    QList<AlbumInfoPtr>& list = fFTTHits->array();
    list.removeIf([](const AlbumInfoPtr& hit) { return !hit->albumDetails(); });
    if (fNCProgressSheet) fNCProgressSheet->NotifyBump(int(list.size()));
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
        retrieveDetails(hit);
        if (fNCProgressSheet) fNCProgressSheet->NotifyBump(1);
        if (cancelled()) break;
    }
    dropHitsWithoutDetails();
}

void FolderTagThread::retrieveNearestTracks(const MatchDistance::Folder& folder) {
    if (!fFTTHits) return;
    // Per source (by its name; hits of no source by their own key), the hit
    // to fetch, or none once the source has details.
    QHash<QString, AlbumInfoPtr> chosen;
    QHash<QString, double> nearest;
    QSet<QString> served;
    for (const AlbumInfoPtr& hit : fFTTHits->array()) {
        const MusicSource* source = ResultKeys::sourceOfKey(hit->iadbKey());
        const QString group = source ? source->name() : hit->iadbKey();
        if (hit->albumDetails()) {
            served.insert(group);
            continue;
        }
        // Equal estimates keep the better-ranked hit.
        const double d = MatchDistance::estimate(folder, *hit).value();
        if (!chosen.contains(group) || d < nearest.value(group)) {
            chosen.insert(group, hit);
            nearest.insert(group, d);
        }
    }
    if (fNCProgressSheet) {
        fNCProgressSheet->NotifyBeginDet(QStringLiteral("Fetching album details..."), 0,
                                         int(chosen.size()), true);
        fNCProgressSheet->NotifyBump(1);
    }
    for (const AlbumInfoPtr& hit : fFTTHits->array()) {
        const auto it = std::find_if(chosen.cbegin(), chosen.cend(),
                                     [&](const AlbumInfoPtr& c) { return c == hit; });
        if (it == chosen.cend() || served.contains(it.key())) continue;
        retrieveDetails(hit);
        if (fNCProgressSheet) fNCProgressSheet->NotifyBump(1);
        if (cancelled()) break;
    }
    dropHitsWithoutDetails();
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
