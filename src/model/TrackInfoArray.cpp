#include "model/TrackInfoArray.h"

#include "model/AlbumDetails.h"

#include <algorithm>

std::shared_ptr<AlbumInfoArray> TrackInfoArray::copy() const {
    return std::make_shared<TrackInfoArray>(*this);
}

TrackInfoPtr TrackInfoArray::trackAtIndex(qsizetype index) const {
    return std::dynamic_pointer_cast<TrackInfo>(at(index));
}

void TrackInfoArray::sortUsingSelector(TrackComparison compare) {
    std::stable_sort(fArray.begin(), fArray.end(),
                     [compare](const AlbumInfoPtr& a, const AlbumInfoPtr& b) {
                         const auto* song = dynamic_cast<const TrackInfo*>(a.get());
                         return song && (song->*compare)(*b) < 0;
                     });
}

bool TrackInfoArray::sortByColumn(const QString& identifier) {
    if (identifier == QStringLiteral("title")) {
        sortUsingSelector(&TrackInfo::compareTitle);
        return true;
    }
    if (identifier == QStringLiteral("track")) {
        sortUsingSelector(&TrackInfo::compareTrack);
        return true;
    }
    return AlbumInfoArray::sortByColumn(identifier);
}

std::shared_ptr<TrackInfoArray> TrackInfoArray::fromDetails(const AlbumDetails& details) {
    auto hits = std::make_shared<TrackInfoArray>();
    const int n = details.numTracks();
    for (int i = 0; i < n; ++i)
        hits->add(TrackInfo::TrackInfoFromScratch(
            details.artistAtIndex(i), details.album(), details.titleAtIndex(i), details.year(),
            details.genre(), QString::number(i + 1), QString::number(n)));
    return hits;
}
