#pragma once

#include "model/AlbumDetails.h"

// The full record of one song: album details whose title list holds the song
// alone, plus its position on the album.
class TrackDetails : public AlbumDetails {
public:
    static inline const QString kTrackKey = QStringLiteral("track");
    static inline const QString kMaxTrackKey = QStringLiteral("maxTrack");
    static inline const QString kLongTrackKey = QStringLiteral("longTrack");

    std::shared_ptr<AlbumDetails> copy() const override;

    QString track() const { return stringFor(kTrackKey); }
    QString maxTrack() const { return stringFor(kMaxTrackKey); }
    QString longTrack() const { return stringFor(kLongTrackKey); }
    void setTrack(const QString& v) { setString(kTrackKey, v); }
    void setMaxTrack(const QString& v) { setString(kMaxTrackKey, v); }
    void setLongTrack(const QString& v) { setString(kLongTrackKey, v); }

    // The song as its tag tells it ("#TAG:"); `smartCap` capitalizes the
    // text fields.
    static std::shared_ptr<TrackDetails>
    TrackDetailsFromTag(const AudioTrack& track, const CustomTag* customTag, bool smartCap);
    // The song as its file and folder names tell it ("#FILES:").
    static std::shared_ptr<TrackDetails> TrackDetailsFromFile(const AudioTrack& track);
    static std::shared_ptr<TrackDetails> TrackDetailsFromName(const QString& displayName,
                                                              const QString& folder);

    const char* className() const override { return "TrackDetails"; }
};

using TrackDetailsPtr = std::shared_ptr<TrackDetails>;
