#include "web/sources/ResultKeys.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "system/ProgressIndicator.h"
#include "tags/CustomTag.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

bool ResultKeys::isLocalKey(const QString& key) {
    return key.startsWith(kFilesPrefix) || key.startsWith(kTagPrefix);
}

const MusicSource* ResultKeys::sourceOfKey(const QString& key) {
    if (key.isEmpty() || isLocalKey(key)) return nullptr;
    // A key of a site that serves no hits (old saves name the browser-only
    // site) has nothing to fetch.
    if (const MusicSource* source = MusicSources::forKey(key))
        return source->serves() != 0 ? source : nullptr;
    return MusicSources::forBareKeys();
}

QString ResultKeys::sourceName(const QString& key) {
    if (key.startsWith(kTagPrefix)) return QStringLiteral("tags");
    if (key.startsWith(kFilesPrefix)) return QStringLiteral("file names");
    const MusicSource* source = sourceOfKey(key);
    return source ? source->name() : QString();
}

std::shared_ptr<AlbumDetails> ResultKeys::AlbumDetailsFromAlbumInfo(const AlbumInfo& hit,
                                                                    const SourceOptions& options,
                                                                    ProgressIndicator* progress) {
    const QString key = hit.resultKey();
    if (isLocalKey(key)) return hit.albumDetails();
    const MusicSource* source = sourceOfKey(key);
    return source ? source->details(key, options, progress) : nullptr;
}

std::shared_ptr<TrackDetails> ResultKeys::TrackDetailsFromTrackInfo(const TrackInfo& hit,
                                                                    const SourceOptions& options,
                                                                    ProgressIndicator* progress) {
    const QString key = hit.resultKey();
    if (isLocalKey(key)) return hit.trackDetails();
    const MusicSource* source = sourceOfKey(key);
    const std::shared_ptr<AlbumDetails> album =
        source ? source->details(key, options, progress) : nullptr;
    if (!album) return nullptr;
    // The song's record is its whole album; the caller finds the song's place
    // on it by title.
    auto details = std::make_shared<TrackDetails>();
    details->dict() = album->dict();
    return details;
}

void ResultKeys::addAlbumHitsFromCustomTag(AlbumInfoArray& hits, const CustomTag* tag,
                                           const std::optional<ScoreWeights>& weights,
                                           const SourceOptions& options,
                                           ProgressIndicator* progress) {
    if (progress) progress->NotifyBeginInd(QStringLiteral("Re-running saved search..."), true);
    if (!tag) return;
    if (const MusicSource* source = sourceOfKey(tag->resultKey()))
        source->savedSearch(hits, tag->savedSearchTerms(), tag->resultKey(), weights, options,
                            progress);
}

void ResultKeys::addTrackHitsFromCustomTag(TrackInfoArray& hits, const CustomTag* tag,
                                           const std::optional<ScoreWeights>& weights,
                                           const SourceOptions& options,
                                           ProgressIndicator* progress) {
    if (progress) progress->NotifyBeginInd(QStringLiteral("Re-running saved search..."), true);
    if (!tag) return;
    if (const MusicSource* source = sourceOfKey(tag->resultKey()))
        source->savedSongSearch(hits, tag->savedSearchTerms(), tag->resultKey(), weights, options,
                                progress);
}
