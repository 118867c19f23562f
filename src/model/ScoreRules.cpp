#include "model/ScoreRules.h"

#include "model/TrackInfo.h"
#include "text/StringUtils.h"

namespace ScoreRules {

ScoreWeights folderSearch(const QString& terms, const QString& genre, const QString& year) {
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kCompareStringKey, orEmpty(terms), 88),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, orEmpty(genre), 6),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, orEmpty(year), 6)};
}

ScoreWeights songArtist(const QString& artist) {
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, orEmpty(artist), 100)};
}

ScoreWeights songTypedIn(const TrackInfo& typedIn) {
    return {AlbumInfo::scoreWeightEntry(TrackInfo::kTitleKey, orEmpty(typedIn.title()), 40),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kAlbumKey, orEmpty(typedIn.album()), 40),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, orEmpty(typedIn.artist()), 20)};
}

} // namespace ScoreRules
