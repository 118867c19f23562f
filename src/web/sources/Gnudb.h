#pragma once

#include "model/AlbumInfo.h"

#include <QString>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class ProgressIndicator;
class TrackInfoArray;

// gnudb: the same disc database as FreeDB behind another front end; its own
// search page and keys of the form "#GNU:%@/%8.8x".
class Gnudb {
public:
    static inline const QString kKeyPrefix = QStringLiteral("#GNU:");

    static void addAlbumHitsFromGNUDB(AlbumInfoArray& hits, const QString& searchText,
                                      const std::optional<ScoreWeights>& weights,
                                      ProgressIndicator* progress);
    // Null for a key without the "#GNU:" prefix or a failed fetch.
    static std::shared_ptr<AlbumDetails> AlbumDetailsWithGNUDBKey(const QString& key,
                                                                 ProgressIndicator* progress);
    // gnudb has no song search: logs and adds nothing.
    static void addTrackHitsFromGNUDB(TrackInfoArray& hits, const QString& searchText,
                                      const std::optional<ScoreWeights>& weights,
                                      ProgressIndicator* progress);
};
