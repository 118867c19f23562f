#include "docs/FileTagThread.h"

#include "model/ScoreRules.h"
#include "model/TrackDetails.h"
#include "prefs/PrefsOptions.h"
#include "system/ProgressIndicator.h"
#include "tags/CustomTag.h"
#include "text/SearchString.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"

FileTagThread::FileTagThread(ProgressIndicator* progress, bool cleanUpOnly, LookupSources sources)
    : LookupWorker(progress, cleanUpOnly), fSources(std::move(sources)),
      fOptions(Prefs::sourceOptions()) {
    initializeHits();
}

void FileTagThread::initializeHits() {
    fHits = std::make_shared<TrackInfoArray>();
    fHits->setMaxEntries(fOptions.maxEntries);
}

void FileTagThread::addTrackHitsFromCustomTag(const CustomTag* tag) {
    if (fProgress) fProgress->NotifyBeginInd(QStringLiteral("Running saved search..."), true);
    QString artist;
    // A search saved by a folder save may name a source of albums only; a
    // single file is looked up on the song sources only.
    const MusicSource* owner = tag ? ResultKeys::sourceOfKey(tag->resultKey()) : nullptr;
    if (tag && fSources.songSavedSearch && owner && (owner->serves() & MusicSource::Songs) &&
        DecomposeSearchString(tag->savedSearchTerms(), &artist, nullptr))
        fSources.songSavedSearch(*fHits, tag, ScoreRules::songArtist(artist), fOptions, fProgress);
    noteCancel();
}

void FileTagThread::addTrackHitsFromSource(const MusicSource& source, const QString& terms,
                                           const ScoreWeights& typedIn) {
    if (fProgress) fProgress->NotifyBeginInd(source.searchCaption(), true);
    const LookupSources::SongSearch search = fSources.songSearches.value(source.name());
    QString artist;
    if (search && DecomposeSearchString(terms, &artist, nullptr)) {
        const ScoreWeights weights = source.songRanking() == MusicSource::SongRanking::ByArtist
                                         ? ScoreRules::songArtist(artist)
                                         : typedIn;
        search(*fHits, terms, weights, fOptions, fProgress);
    }
    noteCancel();
}

void FileTagThread::addTrackHitsFromWeb(const QString& terms, const ScoreWeights& typedIn) {
    for (const MusicSource* source : MusicSources::all())
        if ((source->serves() & MusicSource::Songs) && fOptions.enabled(*source))
            addTrackHitsFromSource(*source, terms, typedIn);
}

void FileTagThread::retrieveTracks() {
    const int count = int(fHits->count());
    if (fProgress)
        fProgress->NotifyBeginDet(QStringLiteral("Fetching album details..."), 0, count, true);
    for (const AlbumInfoPtr& entry : fHits->array()) {
        if (cancelled()) break;
        const TrackInfoPtr hit = std::static_pointer_cast<TrackInfo>(entry);
        if (!hit->trackDetails() && outOfTime("album details")) break;
        if (!hit->trackDetails() && fSources.songDetails)
            hit->setTrackDetails(fSources.songDetails(*hit, fOptions, fProgress));
        if (const TrackDetailsPtr details = hit->trackDetails()) {
            hit->setYear(details->year());
            hit->setGenre(details->genre());
            hit->setAlbumCoverURL(details->albumCoverURL());
            const int titles = details->numTracks();
            // An album page without a track list says nothing of the
            // song's place: no "1/0".
            if (titles > 0) {
                const int position = details->indexOfClosestTitle(hit->title()) + 1;
                // Sites that know no position give an empty one.
                if (hit->track().isEmpty()) hit->setTrack(QString::number(position));
                if (hit->maxTrack().isEmpty()) hit->setMaxTrack(QString::number(titles));
                if (hit->longTrack().isEmpty())
                    hit->setLongTrack(QStringLiteral("%1/%2").arg(position).arg(titles));
            }
        }
        if (fProgress) fProgress->NotifyBump(1);
    }
    QList<AlbumInfoPtr>& list = fHits->array();
    list.removeIf([](const AlbumInfoPtr& hit) {
        return !std::static_pointer_cast<TrackInfo>(hit)->trackDetails();
    });
    if (fProgress) fProgress->NotifyBump(int(list.size()));
}

void FileTagThread::addHit(const TrackInfoPtr& hit) {
    if (hit) fHits->addSorted(hit, std::nullopt, 0);
}

std::shared_ptr<TrackInfoArray> FileTagThread::hits() const {
    return std::static_pointer_cast<TrackInfoArray>(fHits->copy());
}
