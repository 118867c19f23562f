#include "docs/FolderTagThread.h"

#include "art/AlbumArt.h"
#include "model/AlbumDetails.h"
#include "model/ScoreRules.h"
#include "prefs/PrefsOptions.h"
#include "system/ProgressIndicator.h"
#include "tags/CustomTag.h"
#include "text/SearchString.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"

#include <QHash>
#include <QSet>

#include <algorithm>

FolderTagThread::FolderTagThread(ProgressIndicator* progress, bool cleanUpOnly,
                                 LookupSources sources)
    : LookupWorker(progress, cleanUpOnly), fSources(std::move(sources)),
      fOptions(Prefs::sourceOptions()) {}

void FolderTagThread::initializeHits(int trackCount, AlbumDetailsPtr tagDetails) {
    fHits = std::make_shared<AlbumInfoArray>();
    fHits->setFolderTrackCount(trackCount);
    fHits->setMaxEntries(fOptions.maxEntries);
    fTagDetails = std::move(tagDetails);
}

ScoreWeights FolderTagThread::weightsFor(const QString& terms) const {
    return ScoreRules::folderSearch(terms, fTagDetails ? fTagDetails->genre() : QString(),
                                    fTagDetails ? fTagDetails->year() : QString());
}

void FolderTagThread::addAlbumHitsFromCustomTag(const CustomTag* tag) {
    if (!fHits) initializeHits(0, nullptr);
    if (fProgress) fProgress->NotifyBeginInd(QStringLiteral("Running saved search..."), true);
    const QString terms = tag ? tag->savedSearchTerms() : QString();
    const ScoreWeights weights = weightsFor(terms);
    if (fSources.savedSearch && tag)
        fSources.savedSearch(*fHits, tag, weights, fOptions, fProgress);
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromIdentifiers(const TagValues& tags, const QString& terms) {
    for (const MusicSource* source : MusicSources::all()) {
        const QString key = fOptions.enabled(*source) ? source->keyForTags(tags) : QString();
        if (key.isEmpty()) continue;
        CustomTag saved;
        saved.setSavedSearchTerms(terms);
        saved.setResultKey(key);
        addAlbumHitsFromCustomTag(&saved);
        return;
    }
}

void FolderTagThread::addAlbumHitsFromSource(const MusicSource& source,
                                             const SearchTerms& terms) {
    if (!fHits) initializeHits(0, nullptr);
    const ScoreWeights weights = weightsFor(terms);
    if (fProgress) fProgress->NotifyBeginInd(source.searchCaption(), true);
    const LookupSources::Search search = fSources.albumSearches.value(source.name());
    if (search) {
        search(*fHits, terms, weights, fOptions, fProgress);
        // The disc databases match whole phrases, so an album title that the
        // site spells differently still turns up under the artist alone. A
        // compilation's artist part says nothing, so it is not searched.
        QString artist = terms.artist, album;
        if (source.searchesArtistAlone() && !fOneSearchPerSource && !cancelled() &&
            !terms.text.contains(QStringLiteral("various"), Qt::CaseInsensitive) &&
            (terms.hasFields() ? !artist.isEmpty()
                               : DecomposeSearchString(terms, &artist, &album)))
            search(*fHits, artist, weights, fOptions, fProgress);
    }
    noteCancel();
}

void FolderTagThread::addAlbumHitsFromWeb(const SearchTerms& terms) {
    for (const MusicSource* source : MusicSources::all())
        if ((source->serves() & MusicSource::Albums) && fOptions.enabled(*source))
            addAlbumHitsFromSource(*source, terms);
}

void FolderTagThread::pruneAlbumList() {
    pruneList(fHits.get());
}

void FolderTagThread::retrieveDetails(const AlbumInfoPtr& hit) {
    if (!hit->albumDetails() && fSources.details)
        hit->setAlbumDetails(fSources.details(*hit, fOptions, fProgress));
    if (const std::shared_ptr<AlbumDetails> details = hit->albumDetails()) {
        hit->setYear(details->year());
        hit->setGenre(details->genre());
        hit->setAlbumCoverURL(details->albumCoverURL());
    }
}

void FolderTagThread::dropHitsWithoutDetails() {
    QList<AlbumInfoPtr>& list = fHits->array();
    list.removeIf([](const AlbumInfoPtr& hit) { return !hit->albumDetails(); });
    if (fProgress) fProgress->NotifyBump(int(list.size()));
}

void FolderTagThread::retrieveTracks() {
    if (!fHits) return;
    const int count = int(fHits->count());
    if (fProgress) {
        fProgress->NotifyBeginDet(QStringLiteral("Fetching album details..."), 0, count, true);
        fProgress->NotifyBump(1);
    }
    for (const AlbumInfoPtr& hit : fHits->array()) {
        if (!hit->albumDetails() && outOfTime("album details")) break;
        retrieveDetails(hit);
        if (fProgress) fProgress->NotifyBump(1);
        if (cancelled()) break;
    }
    dropHitsWithoutDetails();
}

void FolderTagThread::retrieveNearestTracks(const MatchDistance::Folder& folder) {
    if (!fHits) return;
    // Per source (by its name; hits of no source by their own key), the hit
    // to fetch, or none once the source has details.
    QHash<QString, AlbumInfoPtr> chosen;
    QHash<QString, double> nearest;
    QSet<QString> served;
    for (const AlbumInfoPtr& hit : fHits->array()) {
        const MusicSource* source = ResultKeys::sourceOfKey(hit->resultKey());
        const QString group = source ? source->name() : hit->resultKey();
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
    if (fProgress) {
        fProgress->NotifyBeginDet(QStringLiteral("Fetching album details..."), 0,
                                         int(chosen.size()), true);
        fProgress->NotifyBump(1);
    }
    for (const AlbumInfoPtr& hit : fHits->array()) {
        const auto it = std::find_if(chosen.cbegin(), chosen.cend(),
                                     [&](const AlbumInfoPtr& c) { return c == hit; });
        if (it == chosen.cend() || served.contains(it.key())) continue;
        if (!hit->albumDetails() && outOfTime("album details")) break;
        retrieveDetails(hit);
        if (fProgress) fProgress->NotifyBump(1);
        if (cancelled()) break;
    }
    dropHitsWithoutDetails();
}

QList<std::shared_ptr<AlbumArtDict>> FolderTagThread::retrieveImagesFromAlbumDetails() {
    return retrieveImages(fHits.get());
}

void FolderTagThread::addHit(const std::shared_ptr<AlbumInfo>& hit) {
    if (!fHits) initializeHits(0, nullptr);
    fHits->addSorted(hit, std::nullopt, 0);
}

std::shared_ptr<AlbumInfoArray> FolderTagThread::hits() const {
    return fHits ? fHits->copy() : nullptr;
}
