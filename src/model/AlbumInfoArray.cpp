#include "model/AlbumInfoArray.h"

std::shared_ptr<AlbumInfoArray> AlbumInfoArray::copy() const {
    return std::make_shared<AlbumInfoArray>(*this);
}

bool AlbumInfoArray::addSorted(const AlbumInfoPtr& hit, const std::optional<ScoreWeights>& weights,
                               int max) {
    if (!hit) return false;
    int limit = fMaxEntries;
    if (max > 0 && max < limit) limit = max;

    const QString key = hit->resultKey();
    for (const AlbumInfoPtr& listed : fArray)
        if (listed->resultKey().compare(key, Qt::CaseInsensitive) == 0 &&
            listed->resultKey().isNull() == key.isNull())
            return false;

    if (weights)
        hit->calcAlbumScore(weights);
    else
        hit->setTotalScore(100);

    // Equal scores keep the earlier hit first, unless only the new one has
    // the folder's track count.
    const int score = hit->totalScore();
    const bool countMatches = fFolderTrackCount > 0 && hit->trackCount() == fFolderTrackCount;
    const auto ranksBefore = [&](const AlbumInfo& listed) {
        if (listed.totalScore() != score) return listed.totalScore() > score;
        return !countMatches || listed.trackCount() == fFolderTrackCount;
    };
    qsizetype position = 0;
    while (position < fArray.size() && ranksBefore(*fArray[position]))
        ++position;
    if (position >= limit) return false;

    fArray.insert(position, hit);
    if (fArray.size() > limit) fArray.resize(limit);
    return true;
}

void AlbumInfoArray::calcScoresAndSort(const std::optional<ScoreWeights>& weights) {
    for (const AlbumInfoPtr& hit : fArray)
        hit->calcAlbumScore(weights);
    sortUsingSelector(&AlbumInfo::compareScores);
}

bool AlbumInfoArray::sortByColumn(const QString& identifier) {
    static const QList<std::pair<QString, Comparison>> columns = {
        {QStringLiteral("artist"), &AlbumInfo::compareArtist},
        {QStringLiteral("album"), &AlbumInfo::compareAlbum},
        {QStringLiteral("genre"), &AlbumInfo::compareGenre},
        {QStringLiteral("year"), &AlbumInfo::compareYear},
        {QStringLiteral("relevance"), &AlbumInfo::compareScores},
    };
    for (const auto& [column, compare] : columns)
        if (column == identifier) {
            sortUsingSelector(compare);
            return true;
        }
    return false;
}
