#include "web/sources/MusicSource.h"

#include "model/AlbumDetails.h"

QStringList MusicSource::preferenceKeys() const {
    QStringList keys;
    for (const Preference& pref : preferences())
        keys << pref.key;
    return keys;
}

void MusicSource::searchSongs(TrackInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                              const SourceOptions&, ProgressIndicator*) const {}

void MusicSource::savedSearch(AlbumInfoArray& hits, const QString& terms, const QString&,
                              const std::optional<ScoreWeights>& weights,
                              const SourceOptions& options, ProgressIndicator* progress) const {
    if (!terms.isEmpty()) search(hits, terms, weights, options, progress);
}

void MusicSource::savedSongSearch(TrackInfoArray& hits, const QString& terms, const QString&,
                                  const std::optional<ScoreWeights>& weights,
                                  const SourceOptions& options, ProgressIndicator* progress) const {
    if (!terms.isEmpty()) searchSongs(hits, terms, weights, options, progress);
}

QString MusicSource::browseURL(PageSubject, const QString&, const SourceOptions&) const {
    return {};
}

QString MusicSource::coverAddress(const AlbumDetails& details) const {
    return details.albumCoverURL();
}

bool MusicSource::ownsKey(const QString& key) const {
    const QString prefix = keyPrefix();
    return !prefix.isEmpty() && key.startsWith(prefix);
}

QString MusicSource::keyForTags(const TagValues&) const {
    return {};
}

void MusicSource::searchAlbums(AlbumInfoArray& hits, const SearchTerms& terms,
                               const std::optional<ScoreWeights>& weights,
                               const SourceOptions& options, ProgressIndicator* progress) const {
    search(hits, terms.text, weights, options, progress);
}
