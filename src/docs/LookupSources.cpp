#include "docs/LookupSources.h"

#include "model/AlbumDetails.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "prefs/PrefsOptions.h"
#include "web/sources/AmazonMusic.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/googlemusic/GoogleMusic.h"

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
    sources.browse = [](Site site, Subject subject, const QString& text) {
        const SourceOptions options = Prefs::sourceOptions();
        auto base = [&options](const char* key) {
            return options.baseURL(QString::fromLatin1(key));
        };
        switch (site) {
        case Site::Amazon: {
            const QString b = base(AmazonMusic::kBaseURLKey);
            if (subject == Subject::Artist) AmazonMusic::lookUpArtist(b, text);
            if (subject == Subject::Album) AmazonMusic::lookUpAlbum(b, text);
            if (subject == Subject::Song) AmazonMusic::lookUpSong(b, text);
            break;
        }
        case Site::AMG: {
            const QString b = base(AllMusicGuide::kBaseURLKey);
            if (subject == Subject::Artist) AllMusicGuide::lookUpArtist(b, text);
            if (subject == Subject::Album) AllMusicGuide::lookUpAlbum(b, text);
            if (subject == Subject::Song) AllMusicGuide::lookUpSong(b, text);
            break;
        }
        case Site::Google: {
            const QString b = base(GoogleMusic::kBaseURLKey);
            if (subject == Subject::Artist) GoogleMusic::lookUpArtist(b, text);
            if (subject == Subject::Album) GoogleMusic::lookUpAlbum(b, text);
            if (subject == Subject::Song) GoogleMusic::lookUpSong(b, text);
            break;
        }
        }
    };
    sources.songSavedSearch = &ResultKeys::addTrackHitsFromCustomTag;
    sources.songDetails = &ResultKeys::TrackDetailsFromTrackInfo;
    return sources;
}
