#pragma once

#include "model/AlbumInfo.h"

#include <QString>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfo;
class AlbumInfoArray;
class CustomTag;
class ProgressIndicator;
class TrackDetails;
class TrackInfo;
class TrackInfoArray;

// A result key names the source of a hit by its prefix (matched exactly, case
// included) and the item there. This is where keys are sent to their source:
// detail fetches for chosen hits and the re-running of saved searches.
class ResultKeys {
public:
    enum class Source { None, AMG, Google, Gnudb, Amazon, Local, FreeDB };

    static inline const QString kAMGPrefix = QStringLiteral("#AMG:");
    static inline const QString kGooglePrefix = QStringLiteral("#GOOG:");
    static inline const QString kGnudbPrefix = QStringLiteral("#GNU:");
    static inline const QString kAmazonPrefix = QStringLiteral("#AMZN:");
    static inline const QString kTagPrefix = QStringLiteral("#TAG:");
    static inline const QString kFilesPrefix = QStringLiteral("#FILES:");

    // Tested in this order: no key, "#AMG:", "#GOOG:", "#GNU:", "#AMZN:",
    // "#FILES:" or "#TAG:" (local), anything else FreeDB.
    static Source sourceOfKey(const QString& key);

    // The details of an album hit from the source its key names; the local
    // hits answer their own attached details. Null when the hit has no key,
    // the key is an Amazon key (Amazon is only opened in the browser) or the
    // fetch fails.
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromAlbumInfo(const AlbumInfo& hit,
                                                                  ProgressIndicator* progress);
    // The same for a song hit: the song's album as a track-details record;
    // the local hits answer their own `trackDetails`.
    static std::shared_ptr<TrackDetails> TrackDetailsFromTrackInfo(const TrackInfo& hit,
                                                                  ProgressIndicator* progress);

    // Re-runs a saved search (terms and key of a custom tag) with the source
    // its key names. Album hits: the registered source that owns the key
    // (MusicBrainz looks the saved release up directly; All Music Guide,
    // Google Music and gnudb search the saved terms again). Song hits: All
    // Music Guide, Google Music or gnudb. Other keys, no tag, no key or (for
    // a search) empty terms run nothing.
    static void addAlbumHitsFromCustomTag(AlbumInfoArray& hits, const CustomTag* tag,
                                          const std::optional<ScoreWeights>& weights,
                                          ProgressIndicator* progress);
    static void addTrackHitsFromCustomTag(TrackInfoArray& hits, const CustomTag* tag,
                                          const std::optional<ScoreWeights>& weights,
                                          ProgressIndicator* progress);

private:
    static std::shared_ptr<AlbumDetails> fetchByKey(const QString& key, ProgressIndicator* progress);
};
