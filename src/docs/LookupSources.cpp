#include "docs/LookupSources.h"

#include "model/AlbumDetails.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "web/sources/AmazonMusic.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/googlemusic/GoogleMusic.h"

LookupSources LookupSources::standard() {
    LookupSources sources;
    sources.savedSearch = &ResultKeys::addAlbumHitsFromCustomTag;
    for (const MusicSource* source : MusicSources::all()) {
        if (source->serves() & MusicSource::Albums)
            sources.albumSearches.insert(
                source->name(),
                [source](AlbumInfoArray& hits, const QString& terms,
                         const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                         ProgressIndicator* progress) {
                    source->search(hits, terms, weights, options, progress);
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
    sources.browse = [](Site site, Subject subject, const QString& text) {
        switch (site) {
        case Site::Amazon:
            if (subject == Subject::Artist) AmazonMusic::lookUpArtist(text);
            if (subject == Subject::Album) AmazonMusic::lookUpAlbum(text);
            if (subject == Subject::Song) AmazonMusic::lookUpSong(text);
            break;
        case Site::AMG:
            if (subject == Subject::Artist) AllMusicGuide::lookUpArtist(text);
            if (subject == Subject::Album) AllMusicGuide::lookUpAlbum(text);
            if (subject == Subject::Song) AllMusicGuide::lookUpSong(text);
            break;
        case Site::Google:
            if (subject == Subject::Artist) GoogleMusic::lookUpArtist(text);
            if (subject == Subject::Album) GoogleMusic::lookUpAlbum(text);
            if (subject == Subject::Song) GoogleMusic::lookUpSong(text);
            break;
        }
    };
    sources.songSavedSearch = &ResultKeys::addTrackHitsFromCustomTag;
    sources.songDetails = &ResultKeys::TrackDetailsFromTrackInfo;
    return sources;
}
