#pragma once

#include "model/AlbumInfo.h"

#include <QString>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class ProgressIndicator;

// FreeDB: album search by words (artist and title fields) and the disc record
// of one CD turned into album details. The disc-record reader and the search
// text preparation are shared with gnudb. Keys: "%@/%8.8x" (category, disc id).
class FreeDB {
public:
    // Neither site is paced, but a fetch must end by itself: a refused or dead
    // host is otherwise waited on until the user cancels, and a lookup run
    // without a cancellable progress object would hang for good. Shared with
    // gnudb.
    static constexpr int kSearchTimeLimitSecs = 30;
    static constexpr int kDiscRecordTimeLimitSecs = 10;

    // Searches and offers every result to the list (no per-source cap).
    // Silent on failure; a cancelled search keeps the hits added so far.
    static void addAlbumHitsFromFreeDB(AlbumInfoArray& hits, const QString& searchText,
                                       const std::optional<ScoreWeights>& weights,
                                       ProgressIndicator* progress);
    // The details of a FreeDB key, or null.
    static std::shared_ptr<AlbumDetails> AlbumDetailsWithFreeDBKey(const QString& key,
                                                                  ProgressIndicator* progress);

    // Shared with gnudb -------------------------------------------------

    // The search text percent-escaped (UTF-8) with the ten bracket, slash and
    // quote characters then taken out; in effect only the parentheses go.
    static QString prepareSearchText(const QString& searchText);
    // Every "<...>" removed, no entity decoded.
    static QString removeTagsOnly(const QString& text);
    // Reads a fetched disc record (one character per byte) into details
    // carrying `key`. Values that are valid UTF-8 are decoded as such; null
    // when some value is not and the record does not fit Mac OS Roman.
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromDiscRecord(const QString& page,
                                                                   const QString& key);
    // Fetches the record at `url` (request and page dumped under the given
    // names) and reads it; null when no page came.
    static std::shared_ptr<AlbumDetails> fetchDiscRecord(const QString& url, const QString& key,
                                                         const char* urlDump, const char* pageDump,
                                                         ProgressIndicator* progress);
};
