#pragma once

#include "model/AlbumInfo.h"

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

// The web sources a look-up asks, one call each, plus the detail fetch
// that the result key dispatches. The worker only sees this table, so the
// order and bookkeeping of a look-up do not depend on which sites exist.
struct LookupSources {
    using SavedSearch = std::function<void(AlbumInfoArray&, const CustomTag*,
                                           const std::optional<ScoreWeights>&, ProgressIndicator*)>;
    using Search = std::function<void(AlbumInfoArray&, const QString&,
                                      const std::optional<ScoreWeights>&, ProgressIndicator*)>;
    using Details =
        std::function<std::shared_ptr<AlbumDetails>(const AlbumInfo&, ProgressIndicator*)>;

    // The song searches of the single-file document and its detail fetch.
    using SongSavedSearch = std::function<void(TrackInfoArray&, const CustomTag*,
                                               const std::optional<ScoreWeights>&,
                                               ProgressIndicator*)>;
    using SongSearch = std::function<void(TrackInfoArray&, const QString&,
                                          const std::optional<ScoreWeights>&, ProgressIndicator*)>;
    using SongDetails =
        std::function<std::shared_ptr<TrackDetails>(const TrackInfo&, ProgressIndicator*)>;

    // A site's own search page opened in the browser.
    enum class Site { AMG, Google, Amazon };
    enum class Subject { Artist, Album, Song };
    using Browse = std::function<void(Site, Subject, const QString&)>;

    SavedSearch savedSearch;
    Search musicBrainz;
    Search amg;
    Search goog;
    Search gnudb;
    Search freedb;
    Details details;
    Browse browse;
    SongSavedSearch songSavedSearch;
    SongSearch amgSongs;
    SongSearch googSongs;
    SongDetails songDetails;

    // The real sites, taken from the source registry.
    static LookupSources standard();
};
