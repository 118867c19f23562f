#include "web/sources/MusicSource.h"

#include "model/AlbumDetails.h"

void MusicSource::searchSongs(TrackInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                              ProgressIndicator*) const {}

void MusicSource::savedSearch(AlbumInfoArray& hits, const QString& terms, const QString&,
                              const std::optional<ScoreWeights>& weights,
                              ProgressIndicator* progress) const {
    if (!terms.isEmpty()) search(hits, terms, weights, progress);
}

QString MusicSource::coverAddress(const AlbumDetails& details) const {
    return details.albumCoverURL();
}

bool MusicSource::ownsKey(const QString& key) const {
    const QString prefix = keyPrefix();
    return !prefix.isEmpty() && key.startsWith(prefix);
}
