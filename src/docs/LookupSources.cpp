#include "docs/LookupSources.h"

#include "model/AlbumDetails.h"
#include "web/sources/AmazonMusic.h"

// The site searches join as their files arrive in the tree; until then a
// look-up lists only the hits made from the folder itself.
#if __has_include("web/sources/ResultKeys.h")
#define TROVIX_HAVE_SITE_SOURCES 1
#include "web/sources/AllMusicGuide.h"
#include "web/sources/FreeDB.h"
#include "web/sources/Gnudb.h"
#include "web/sources/GoogleMusic.h"
#include "web/sources/ResultKeys.h"
#endif

LookupSources LookupSources::standard() {
    LookupSources sources;
#ifdef TROVIX_HAVE_SITE_SOURCES
    sources.savedSearch = &ResultKeys::addAlbumHitsFromCustomTag;
    sources.amg = &AllMusicGuide::addAlbumHitsFromAMG;
    sources.goog = &GoogleMusic::addAlbumHitsFromGOOG;
    sources.gnudb = &Gnudb::addAlbumHitsFromGNUDB;
    sources.freedb = &FreeDB::addAlbumHitsFromFreeDB;
    sources.details = [](const AlbumInfo& hit, ProgressIndicator* progress) {
        return ResultKeys::AlbumDetailsFromAlbumInfo(hit, progress);
    };
#else
    // Hits made from the folder carry their own details.
    sources.details = [](const AlbumInfo& hit, ProgressIndicator*) { return hit.albumDetails(); };
#endif
    sources.browse = [](Site site, Subject subject, const QString& text) {
        switch (site) {
        case Site::Amazon:
            if (subject == Subject::Artist) AmazonMusic::lookUpArtist(text);
            if (subject == Subject::Album) AmazonMusic::lookUpAlbum(text);
            if (subject == Subject::Song) AmazonMusic::lookUpSong(text);
            break;
#ifdef TROVIX_HAVE_SITE_SOURCES
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
#endif
        default:
            break;
        }
    };
    return sources;
}
