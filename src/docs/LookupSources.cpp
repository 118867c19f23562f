#include "docs/LookupSources.h"

#include "model/AlbumDetails.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "web/WebHelpers.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"
#include "web/sources/SourceOptions.h"

LookupSources LookupSources::standard() {
    LookupSources sources;
    sources.savedSearch = &ResultKeys::addAlbumHitsFromCustomTag;
    for (const MusicSource* source : MusicSources::all()) {
        if (source->serves() & MusicSource::Albums)
            sources.albumSearches.insert(
                source->name(),
                [source](AlbumInfoArray& hits, const SearchTerms& terms,
                         const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                         ProgressIndicator* progress) {
                    source->searchAlbums(hits, terms, weights, options, progress);
                });
        if (source->serves() & MusicSource::Songs)
            sources.songSearches.insert(
                source->name(),
                [source](TrackInfoArray& hits, const QString& terms,
                         const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                         ProgressIndicator* progress) {
                    source->searchSongs(hits, terms, weights, options, progress);
                });
    }
    sources.details = &ResultKeys::AlbumDetailsFromAlbumInfo;
    // A click on the main thread: the base addresses as they stand now.
    sources.browse = [](const MusicSource& site, MusicSource::PageSubject subject,
                        const QString& text) {
        const QString url = site.browseURL(subject, text, Prefs::sourceOptions());
        if (!url.isEmpty()) OpenURLInBrowserQuiet(url);
    };
    sources.songSavedSearch = &ResultKeys::addTrackHitsFromCustomTag;
    sources.songDetails = &ResultKeys::TrackDetailsFromTrackInfo;
    return sources;
}
