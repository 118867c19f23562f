#pragma once

#include "model/AlbumInfo.h"

#include <QString>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfo;
class AlbumInfoArray;
class CustomTag;
class MusicSource;
class ProgressIndicator;
class TrackDetails;
class TrackInfo;
class TrackInfoArray;
struct SourceOptions;

// A result key names the source of a hit by its prefix (matched exactly, case
// included) and the item there. This is where keys are sent to their source:
// detail fetches for chosen hits and the re-running of saved searches.
class ResultKeys {
public:
    static inline const QString kTagPrefix = QStringLiteral("#TAG:");
    static inline const QString kFilesPrefix = QStringLiteral("#FILES:");

    // "#FILES:" or "#TAG:": hits made from the folder itself.
    static bool isLocalKey(const QString& key);
    // The registered source that answers a key: the one whose prefix starts
    // it, else the source of bare keys. None for no key, a local key or an
    // Amazon key (Amazon is only opened in the browser).
    static const MusicSource* sourceOfKey(const QString& key);
    // What a key's hit came from, as the command line shows it: "tags",
    // "file names", a source's name, or empty.
    static QString sourceName(const QString& key);

    // The details of an album hit from the source its key names; the local
    // hits answer their own attached details. Null when no source answers
    // the key or the fetch fails.
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromAlbumInfo(const AlbumInfo& hit,
                                                                   const SourceOptions& options,
                                                                   ProgressIndicator* progress);
    // The same for a song hit: the song's album as a track-details record;
    // the local hits answer their own `trackDetails`.
    static std::shared_ptr<TrackDetails> TrackDetailsFromTrackInfo(const TrackInfo& hit,
                                                                   const SourceOptions& options,
                                                                   ProgressIndicator* progress);

    // Re-runs a saved search (terms and key of a custom tag) with the source
    // that owns its key: a search of the saved terms, or a direct look-up of
    // the saved key where the source has one. No tag, no key or a key no
    // source owns runs nothing.
    static void addAlbumHitsFromCustomTag(AlbumInfoArray& hits, const CustomTag* tag,
                                          const std::optional<ScoreWeights>& weights,
                                          const SourceOptions& options,
                                          ProgressIndicator* progress);
    static void addTrackHitsFromCustomTag(TrackInfoArray& hits, const CustomTag* tag,
                                          const std::optional<ScoreWeights>& weights,
                                          const SourceOptions& options,
                                          ProgressIndicator* progress);
};
