#include "web/sources/ResultKeys.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/CustomTag.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "system/ProgressIndicator.h"
#include "web/sources/AllMusicGuide.h"
#include "web/sources/FreeDB.h"
#include "web/sources/Gnudb.h"
#include "web/sources/GoogleMusic.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

#include <functional>

ResultKeys::Source ResultKeys::sourceOfKey(const QString& key) {
    if (key.isEmpty()) return Source::None;
    if (key.startsWith(kAMGPrefix)) return Source::AMG;
    if (key.startsWith(kGooglePrefix)) return Source::Google;
    if (key.startsWith(kGnudbPrefix)) return Source::Gnudb;
    if (key.startsWith(kAmazonPrefix)) return Source::Amazon;
    if (key.startsWith(kFilesPrefix) || key.startsWith(kTagPrefix)) return Source::Local;
    return Source::FreeDB;
}

std::shared_ptr<AlbumDetails> ResultKeys::fetchByKey(const QString& key,
                                                     ProgressIndicator* progress) {
    if (const MusicSource* source = MusicSources::forKey(key))
        return source->details(key, progress);
    switch (sourceOfKey(key)) {
    case Source::AMG:
        return AllMusicGuide::AlbumDetailsWithAMGKey(key, progress);
    case Source::Google:
        return GoogleMusic::AlbumDetailsWithGOOGKey(key, progress);
    case Source::Gnudb:
        return Gnudb::AlbumDetailsWithGNUDBKey(key, progress);
    case Source::FreeDB:
        return FreeDB::AlbumDetailsWithFreeDBKey(key, progress);
    case Source::None:
    case Source::Amazon: // nothing fetches Amazon pages: never ask FreeDB for them
    case Source::Local:
        break;
    }
    return nullptr;
}

std::shared_ptr<AlbumDetails> ResultKeys::AlbumDetailsFromAlbumInfo(const AlbumInfo& hit,
                                                                    ProgressIndicator* progress) {
    const QString key = hit.iadbKey();
    if (sourceOfKey(key) == Source::Local) return hit.albumDetails();
    return fetchByKey(key, progress);
}

std::shared_ptr<TrackDetails> ResultKeys::TrackDetailsFromTrackInfo(const TrackInfo& hit,
                                                                    ProgressIndicator* progress) {
    const QString key = hit.iadbKey();
    if (sourceOfKey(key) == Source::Local) return hit.trackDetails();
    const std::shared_ptr<AlbumDetails> album = fetchByKey(key, progress);
    if (!album) return nullptr;
    // The song's record is its whole album; the caller finds the song's place
    // on it by title.
    auto details = std::make_shared<TrackDetails>();
    details->dict() = album->dict();
    return details;
}

namespace {

// Runs a saved search again with the search of the source its key names:
// `amg`, `google` or `gnudb`, each called with the saved terms. Any other
// key, no tag or no terms runs nothing.
using Search = std::function<void(const QString& terms)>;

void rerunSavedSearch(const CustomTag* tag, ProgressIndicator* progress, const Search& amg,
                      const Search& google, const Search& gnudb) {
    if (progress) progress->NotifyBeginInd(QStringLiteral("Re-running saved search..."), true);
    if (!tag || tag->iadbKey().isEmpty() || tag->iadbSearchTerms().isEmpty()) return;
    const QString terms = tag->iadbSearchTerms();
    switch (ResultKeys::sourceOfKey(tag->iadbKey())) {
    case ResultKeys::Source::AMG:
        amg(terms);
        break;
    case ResultKeys::Source::Google:
        google(terms);
        break;
    case ResultKeys::Source::Gnudb:
        gnudb(terms);
        break;
    default:
        break;
    }
}

} // namespace

void ResultKeys::addAlbumHitsFromCustomTag(AlbumInfoArray& hits, const CustomTag* tag,
                                           const std::optional<ScoreWeights>& weights,
                                           ProgressIndicator* progress) {
    // The source that owns the key re-runs it: a search with the saved terms,
    // or a direct look-up of the saved key where the source has one.
    if (progress) progress->NotifyBeginInd(QStringLiteral("Re-running saved search..."), true);
    if (!tag || tag->iadbKey().isEmpty()) return;
    if (const MusicSource* source = MusicSources::forKey(tag->iadbKey()))
        source->savedSearch(hits, tag->iadbSearchTerms(), tag->iadbKey(), weights, progress);
}

void ResultKeys::addTrackHitsFromCustomTag(TrackInfoArray& hits, const CustomTag* tag,
                                           const std::optional<ScoreWeights>& weights,
                                           ProgressIndicator* progress) {
    rerunSavedSearch(
        tag, progress,
        [&](const QString& terms) {
            AllMusicGuide::addTrackHitsFromAMG(hits, terms, weights, progress);
        },
        [&](const QString& terms) {
            GoogleMusic::addTrackHitsFromGOOG(hits, terms, weights, progress);
        },
        [&](const QString& terms) {
            Gnudb::addTrackHitsFromGNUDB(hits, terms, weights, progress);
        });
}
