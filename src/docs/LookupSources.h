#pragma once

#include "model/AlbumInfo.h"
#include "text/SearchTerms.h"
#include "web/sources/MusicSource.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class CustomTag;
class ProgressIndicator;
class TrackDetails;
class TrackInfo;
class TrackInfoArray;
struct SourceOptions;

// The web sources a look-up asks, one search per registered source (by its
// name), plus the detail fetch that the result key dispatches. The worker
// walks the source registry in order and calls what this table holds, so
// tests can stand in for any site.
struct LookupSources {
    using SavedSearch =
        std::function<void(AlbumInfoArray&, const CustomTag*, const std::optional<ScoreWeights>&,
                           const SourceOptions&, ProgressIndicator*)>;
    using Search =
        std::function<void(AlbumInfoArray&, const SearchTerms&, const std::optional<ScoreWeights>&,
                           const SourceOptions&, ProgressIndicator*)>;
    using Details = std::function<std::shared_ptr<AlbumDetails>(
        const AlbumInfo&, const SourceOptions&, ProgressIndicator*)>;

    // The song searches of the single-file document and its detail fetch.
    using SongSavedSearch =
        std::function<void(TrackInfoArray&, const CustomTag*, const std::optional<ScoreWeights>&,
                           const SourceOptions&, ProgressIndicator*)>;
    using SongSearch =
        std::function<void(TrackInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                           const SourceOptions&, ProgressIndicator*)>;
    using SongDetails = std::function<std::shared_ptr<TrackDetails>(
        const TrackInfo&, const SourceOptions&, ProgressIndicator*)>;

    // A site's own search page opened in the browser.
    using Browse =
        std::function<void(const MusicSource&, MusicSource::PageSubject, const QString&)>;

    SavedSearch savedSearch;
    QHash<QString, Search> albumSearches; // by source name
    Details details;
    Browse browse;
    SongSavedSearch songSavedSearch;
    QHash<QString, SongSearch> songSearches; // by source name
    SongDetails songDetails;

    // The real sites, taken from the source registry.
    static LookupSources standard();
};
