#pragma once

#include "web/sources/SourceFetcher.h"

#include <QString>

#include <memory>

class AlbumDetails;
class ProgressIndicator;

// What the two front ends of the disc database share: the search text
// preparation, the fetch, and the reader of one CD's disc record.
class DiscDatabase {
public:
    // Neither site is paced, but a fetch must end by itself: a refused or dead
    // host is otherwise waited on until the user cancels, and a lookup run
    // without a cancellable progress object would hang for good.
    static constexpr int kSearchTimeLimitSecs = 30;
    static constexpr int kDiscRecordTimeLimitSecs = 10;

    // The search text percent-escaped (UTF-8) with the ten bracket, slash and
    // quote characters then taken out; in effect only the parentheses go.
    static QString prepareSearchText(const QString& searchText);
    // One attempt, the page taken whatever its status (request and page
    // dumped under the given names); `source` names the site in the words of
    // a failure.
    static SourceFetcher::Response fetchPage(const QString& source, const QString& url,
                                             int timeLimitSecs, const char* urlDump,
                                             const char* pageDump, ProgressIndicator* progress);
    // Reads a fetched disc record (one character per byte) into details
    // carrying `key`. Values that are valid UTF-8 are decoded as such; null
    // when some value is not and the record does not fit Mac OS Roman.
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromDiscRecord(const QString& page,
                                                                    const QString& key);
    // Fetches the record at `url` and reads it; null when no page came.
    static std::shared_ptr<AlbumDetails> fetchDiscRecord(const QString& source, const QString& url,
                                                         const QString& key, const char* urlDump,
                                                         const char* pageDump,
                                                         ProgressIndicator* progress);
};
