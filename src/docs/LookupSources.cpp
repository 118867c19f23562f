#include "docs/LookupSources.h"

#include "model/AlbumDetails.h"
#include "web/sources/AmazonMusic.h"

LookupSources LookupSources::standard() {
    LookupSources sources;
    // Hits made from the folder carry their own details.
    sources.details = [](const AlbumInfo& hit, ProgressIndicator*) { return hit.albumDetails(); };
    sources.browse = [](Site site, Subject subject, const QString& text) {
        if (site != Site::Amazon) return;
        switch (subject) {
        case Subject::Artist: AmazonMusic::lookUpArtist(text); break;
        case Subject::Album: AmazonMusic::lookUpAlbum(text); break;
        case Subject::Song: AmazonMusic::lookUpSong(text); break;
        }
    };
    return sources;
}
