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

// The web sources a folder look-up asks, one call each, plus the detail fetch
// that the result key dispatches. The worker only sees this table, so the
// order and bookkeeping of a look-up do not depend on which sites exist.
struct LookupSources {
    using SavedSearch = std::function<void(AlbumInfoArray&, const CustomTag*,
                                           const std::optional<ScoreWeights>&, ProgressIndicator*)>;
    using Search = std::function<void(AlbumInfoArray&, const QString&,
                                      const std::optional<ScoreWeights>&, ProgressIndicator*)>;
    using Details =
        std::function<std::shared_ptr<AlbumDetails>(const AlbumInfo&, ProgressIndicator*)>;

    // A site's own search page opened in the browser.
    enum class Site { AMG, Google, Amazon };
    enum class Subject { Artist, Album, Song };
    using Browse = std::function<void(Site, Subject, const QString&)>;

    SavedSearch savedSearch;
    Search amg;
    Search goog;
    Search gnudb;
    Search freedb;
    Details details;
    Browse browse;

    // The real sites.
    static LookupSources standard();
};
