#include "model/ScoreRules.h"

#include "model/TrackInfo.h"

namespace {

QString nonNull(const QString& s) {
    return s.isNull() ? QString(u""_qs) : s;
}

} // namespace

namespace ScoreRules {

ScoreWeights folderSearch(const QString& terms, const QString& genre, const QString& year) {
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kCompareStringKey, nonNull(terms), 88),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, nonNull(genre), 6),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, nonNull(year), 6)};
}

ScoreWeights songArtist(const QString& artist) {
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, nonNull(artist), 100)};
}

ScoreWeights songTypedIn(const TrackInfo& typedIn) {
    return {AlbumInfo::scoreWeightEntry(TrackInfo::kTitleKey, nonNull(typedIn.title()), 40),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kAlbumKey, nonNull(typedIn.album()), 40),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, nonNull(typedIn.artist()), 20)};
}

} // namespace ScoreRules
