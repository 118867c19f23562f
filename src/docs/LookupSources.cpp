#include "docs/LookupSources.h"

#include "model/AlbumDetails.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "web/sources/AllMusicGuide.h"
#include "web/sources/AmazonMusic.h"
#include "web/sources/GoogleMusic.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"

namespace {

LookupSources::Search searchOf(const QString& name) {
    const MusicSource* source = MusicSources::byName(name);
    if (!source) return {};
    return [source](AlbumInfoArray& hits, const QString& terms,
                    const std::optional<ScoreWeights>& weights, ProgressIndicator* progress) {
        source->search(hits, terms, weights, progress);
    };
}

} // namespace

LookupSources LookupSources::standard() {
    LookupSources sources;
    sources.savedSearch = &ResultKeys::addAlbumHitsFromCustomTag;
    sources.musicBrainz = searchOf(QStringLiteral("MusicBrainz"));
    sources.amg = searchOf(QStringLiteral("All Music Guide"));
    sources.goog = searchOf(QStringLiteral("Google Music"));
    sources.gnudb = searchOf(QStringLiteral("gnudb"));
    sources.freedb = searchOf(QStringLiteral("FreeDB"));
    sources.details = [](const AlbumInfo& hit, ProgressIndicator* progress) {
        return ResultKeys::AlbumDetailsFromAlbumInfo(hit, progress);
    };
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
    sources.amgSongs = &AllMusicGuide::addTrackHitsFromAMG;
    sources.googSongs = &GoogleMusic::addTrackHitsFromGOOG;
    sources.songDetails = [](const TrackInfo& hit, ProgressIndicator* progress) {
        return ResultKeys::TrackDetailsFromTrackInfo(hit, progress);
    };
    return sources;
}
