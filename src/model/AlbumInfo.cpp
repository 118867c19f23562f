#include "model/AlbumInfo.h"

#include "model/AlbumDetails.h"
#include "model/RecordDump.h"
#include "text/FuzzyMatch.h"

std::shared_ptr<AlbumInfo> AlbumInfo::copy() const {
    return std::make_shared<AlbumInfo>(*this);
}

std::shared_ptr<AlbumInfo> AlbumInfo::AlbumInfoFromScratch(const QString& artist,
                                                           const QString& album,
                                                           const QString& year,
                                                           const QString& genre) {
    auto hit = std::make_shared<AlbumInfo>();
    hit->setArtist(artist);
    hit->setAlbum(album);
    hit->setYear(year);
    hit->setGenre(genre);
    return hit;
}

QVariantMap AlbumInfo::scoreWeightEntry(const QString& key, const QString& value, int weight) {
    return {{kWeightKeyKey, key}, {kWeightValueKey, value}, {kWeightWeightKey, weight}};
}

QString AlbumInfo::stringFor(const QString& key) const {
    auto it = fDict.constFind(key);
    return it == fDict.constEnd() ? QString() : it->toString();
}

void AlbumInfo::setString(const QString& key, const QString& value) {
    if (!value.isNull()) fDict.insert(key, value);
}

Picture AlbumInfo::coverArt() const {
    return fDict.value(kCoverArtKey).value<Picture>();
}

void AlbumInfo::setCoverArt(const Picture& image) {
    if (!image.isNull()) fDict.insert(kCoverArtKey, QVariant::fromValue(image));
}

std::shared_ptr<AlbumInfo> AlbumInfo::fromDetails(const AlbumDetails& details) {
    auto hit = std::make_shared<AlbumInfo>();
    hit->setAlbumFieldsOf(details);
    hit->setAlbumDetails(details.sharedSelf());
    return hit;
}

void AlbumInfo::setAlbumFieldsOf(const AlbumDetails& details) {
    setArtist(details.artist());
    setAlbum(details.album());
    setYear(details.year());
    setGenre(details.genre());
    setIADBCompareString(QStringLiteral("%1 / %2").arg(details.artist(), details.album()));
    setResultKey(details.resultKey());
    setAlbumCoverURL(details.albumCoverURL());
}

std::shared_ptr<AlbumDetails> AlbumInfo::albumDetails() const {
    return fDict.value(kAlbumDetailsKey).value<std::shared_ptr<AlbumDetails>>();
}

void AlbumInfo::setAlbumDetails(const std::shared_ptr<AlbumDetails>& details) {
    if (details) fDict.insert(kAlbumDetailsKey, QVariant::fromValue(details));
}

void AlbumInfo::calcAlbumScore(const std::optional<ScoreWeights>& weights) {
    if (!weights) return;
    int total = 0;
    for (const QVariantMap& entry : *weights) {
        const QString key = entry.value(kWeightKeyKey).toString();
        const QVariant mine = fDict.value(key);
        if (!mine.isValid()) continue; // a missing value scores 0
        total += entry.value(kWeightWeightKey).toInt() *
                 FuzzyCompare(mine.toString(), entry.value(kWeightValueKey).toString());
    }
    setTotalScore(total / 100);
}

int AlbumInfo::compareText(const QString& a, const QString& b) {
    if (a.isNull() || b.isNull()) return 0;
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int AlbumInfo::compareIDs(const AlbumInfo& other) const {
    return compareText(resultKey(), other.resultKey());
}

int AlbumInfo::compareArtist(const AlbumInfo& other) const {
    return compareText(artist(), other.artist());
}

int AlbumInfo::compareAlbum(const AlbumInfo& other) const {
    return compareText(album(), other.album());
}

// Genre and year sort by the fetched details, which are what the table shows.
int AlbumInfo::compareGenre(const AlbumInfo& other) const {
    const auto mine = albumDetails(), theirs = other.albumDetails();
    if (!mine || !theirs) return 0;
    return compareText(mine->genre(), theirs->genre());
}

int AlbumInfo::compareYear(const AlbumInfo& other) const {
    const auto mine = albumDetails(), theirs = other.albumDetails();
    if (!mine || !theirs) return 0;
    return compareText(mine->year(), theirs->year());
}

int AlbumInfo::compareScores(const AlbumInfo& other) const {
    if (!fDict.contains(kScoreKey) || !other.fDict.contains(kScoreKey)) return 0;
    const int a = totalScore(), b = other.totalScore();
    return a > b ? -1 : (a < b ? 1 : 0);
}

QString AlbumInfo::description() const {
    return DescribeRecord(className(), this, AlbumDetails::withDetailsAsRefs(fDict));
}
