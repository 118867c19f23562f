#include "model/TrackInfo.h"

#include "model/AudioTrack.h"
#include "model/TrackDetails.h"
#include "system/PictureCodec.h"
#include "tags/TextNumbers.h"
#include "text/FuzzyMatch.h"

std::shared_ptr<AlbumInfo> TrackInfo::copy() const {
    return std::make_shared<TrackInfo>(*this);
}

std::shared_ptr<TrackInfo>
TrackInfo::TrackInfoFromScratch(const QString& artist, const QString& album, const QString& title,
                                const QString& year, const QString& genre, const QString& track1,
                                const QString& track2) {
    auto hit = std::make_shared<TrackInfo>();
    hit->setArtist(artist);
    hit->setAlbum(album);
    hit->setTitle(title);
    hit->setYear(year);
    hit->setGenre(genre);
    hit->setTrack(track1);
    hit->setMaxTrack(track2);
    if (!track2.isEmpty() && !track1.isNull())
        hit->setLongTrack(track1 + u'/' + track2);
    else
        hit->setLongTrack(track1);
    return hit;
}

std::shared_ptr<TrackInfo> TrackInfo::TrackInfoFromAudioTrack(const AudioTrack& track,
                                                              bool smartCap) {
    auto hit = TrackInfoFromScratch(track.tags().artist, track.tags().album, track.getOldTitle(),
                                    track.tags().year, track.tags().genre, track.tags().track,
                                    track.tags().trackCount);
    hit->setLongTrack(track.tags().longTrack());
    hit->setResultKey(kTagKey);
    hit->setIADBCompareString(
        QStringLiteral("%1 / %2").arg(track.tags().artist, track.tags().album));
    const std::optional<CustomTag>& customTag = track.tags().custom;
    hit->setTrackDetails(
        TrackDetails::TrackDetailsFromTag(track, customTag ? &*customTag : nullptr, smartCap));
    const QByteArray bytes = track.getImageData();
    const Picture image = Pictures::fromData(bytes);
    if (!image.isNull()) {
        hit->setCoverArt(image);
        hit->setCoverArtData(bytes);
        hit->setCoverArtLocation(kTagLocation);
    }
    return hit;
}

std::shared_ptr<TrackInfo> TrackInfo::fromDetails(const TrackDetails& details) {
    auto hit = std::make_shared<TrackInfo>();
    hit->setAlbumFieldsOf(details);
    hit->setTrackDetails(std::static_pointer_cast<TrackDetails>(details.sharedSelf()));
    hit->setTitle(details.titleAtIndex(0));
    hit->setTrack(details.track());
    hit->setMaxTrack(details.maxTrack());
    hit->setLongTrack(details.longTrack());
    return hit;
}

void TrackInfo::scoreTrack(const QString& trackName, int albumScore) {
    const int score = FuzzyCompare(trackName, title());
    setTrackScore(score);
    setTotalScore((score + albumScore) / 2);
}

std::shared_ptr<TrackDetails> TrackInfo::trackDetails() const {
    return std::dynamic_pointer_cast<TrackDetails>(
        fDict.value(kTrackDetailsKey).value<std::shared_ptr<AlbumDetails>>());
}

void TrackInfo::setTrackDetails(const std::shared_ptr<TrackDetails>& details) {
    if (details)
        fDict.insert(kTrackDetailsKey,
                     QVariant::fromValue(std::static_pointer_cast<AlbumDetails>(details)));
}

int TrackInfo::compareTitle(const AlbumInfo& other) const {
    return compareText(title(), other.dict().value(kTitleKey).toString());
}

namespace {

// Reads "number/count" as a decimal scan would; a missing count reads as 999.
bool readLongTrack(const QVariant& value, int& number, int& count) {
    if (!value.isValid()) return false;
    const QString text = value.toString();
    qsizetype end = 0;
    count = 999;
    if (!ScanLeadingInt(text, 0, number, &end)) return false;
    if (end < text.size() && text[end] == u'/' && !ScanLeadingInt(text, end + 1, count))
        count = 999;
    return true;
}

} // namespace

int TrackInfo::compareTrack(const AlbumInfo& other) const {
    int n1 = 0, c1 = 0, n2 = 0, c2 = 0;
    const bool has1 = readLongTrack(fDict.value(kLongTrackKey), n1, c1);
    const bool has2 = readLongTrack(other.dict().value(kLongTrackKey), n2, c2);
    if (!has1 || !has2) return has1 == has2 ? 0 : (has1 ? -1 : 1);
    if (n1 != n2) return n1 > n2 ? -1 : 1;
    if (c1 != c2) return c1 > c2 ? -1 : 1;
    return 0;
}
