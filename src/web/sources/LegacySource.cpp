#include "web/sources/LegacySource.h"

#include "model/AlbumDetails.h"

int LegacySource::serves() const {
    return (fDescription.albums ? Albums : 0) | (fDescription.songs ? Songs : 0);
}

QStringList LegacySource::preferenceKeys() const {
    return {fDescription.enabledKey, fDescription.baseURLKey};
}

void LegacySource::search(AlbumInfoArray& hits, const QString& terms,
                          const std::optional<ScoreWeights>& weights,
                          ProgressIndicator* progress) const {
    if (fDescription.albums) fDescription.albums(hits, terms, weights, progress);
}

void LegacySource::searchSongs(TrackInfoArray& hits, const QString& terms,
                               const std::optional<ScoreWeights>& weights,
                               ProgressIndicator* progress) const {
    if (fDescription.songs) fDescription.songs(hits, terms, weights, progress);
}

std::shared_ptr<AlbumDetails> LegacySource::details(const QString& key,
                                                    ProgressIndicator* progress) const {
    return fDescription.details ? fDescription.details(key, progress) : nullptr;
}
