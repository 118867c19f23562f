#pragma once

#include "model/AlbumInfo.h"

class AudioTrack;
class TrackDetails;

// A song hit: an album hit with the song's title and position on its album.
class TrackInfo : public AlbumInfo {
public:
    static inline const QString kTitleKey = QStringLiteral("title");
    static inline const QString kTrackKey = QStringLiteral("track");
    static inline const QString kMaxTrackKey = QStringLiteral("maxTrack");
    static inline const QString kLongTrackKey = QStringLiteral("longTrack");
    static inline const QString kTrackDetailsKey = QStringLiteral("trackDetails");
    static inline const QString kTrackScoreKey = QStringLiteral("trackScore");
    // Where the cover art of the tags hit came from.
    static inline const QString kTagLocation = QStringLiteral("TAG");

    std::shared_ptr<AlbumInfo> copy() const override;

    // track2 empty or null leaves `longTrack` as track1 alone.
    static std::shared_ptr<TrackInfo>
    TrackInfoFromScratch(const QString& artist, const QString& album, const QString& title,
                         const QString& year, const QString& genre, const QString& track1,
                         const QString& track2);
    // The song hit that stands for fetched song details, carrying them.
    static std::shared_ptr<TrackInfo> fromDetails(const TrackDetails& details);
    // The hit that stands for what a file's tags already say ("#TAG:").
    static std::shared_ptr<TrackInfo> TrackInfoFromAudioTrack(const AudioTrack& track,
                                                              bool smartCap);

    QString title() const { return stringFor(kTitleKey); }
    QString track() const { return stringFor(kTrackKey); }
    QString maxTrack() const { return stringFor(kMaxTrackKey); }
    QString longTrack() const { return stringFor(kLongTrackKey); }
    int trackScore() const { return fDict.value(kTrackScoreKey).toInt(); }
    std::shared_ptr<TrackDetails> trackDetails() const;

    void setTitle(const QString& v) { setString(kTitleKey, v); }
    void setTrack(const QString& v) { setString(kTrackKey, v); }
    void setMaxTrack(const QString& v) { setString(kMaxTrackKey, v); }
    void setLongTrack(const QString& v) { setString(kLongTrackKey, v); }
    void setTrackScore(int score) { fDict.insert(kTrackScoreKey, score); }
    void setTrackDetails(const std::shared_ptr<TrackDetails>& details);
    // Scores the song's title against `trackName`; the total is the mean
    // of that and the album's score.
    void scoreTrack(const QString& trackName, int albumScore);

    int compareTitle(const AlbumInfo& other) const;
    // Larger track number first, then larger track count; a hit whose long
    // track does not start with a number goes after every numbered one.
    int compareTrack(const AlbumInfo& other) const;

    const char* className() const override { return "TrackInfo"; }
};

using TrackInfoPtr = std::shared_ptr<TrackInfo>;
