#pragma once

#include "model/AlbumInfoArray.h"
#include "model/TrackInfo.h"

// The ranked song-hit list of a single-file lookup. It holds only song hits.
class TrackInfoArray : public AlbumInfoArray {
public:
    using TrackComparison = int (TrackInfo::*)(const AlbumInfo&) const;

    // One song hit a title of the details, numbered from 1.
    static std::shared_ptr<TrackInfoArray> fromDetails(const AlbumDetails& details);
    std::shared_ptr<AlbumInfoArray> copy() const override;

    TrackInfoPtr trackAtIndex(qsizetype index) const;

    using AlbumInfoArray::sortUsingSelector;
    // Sorts by a song-hit comparison; an element that is not a song hit is
    // the same as any other.
    void sortUsingSelector(TrackComparison compare);
    // Adds the "title" and "track" columns to those of album hits.
    bool sortByColumn(const QString& identifier) override;

protected:
    const char* className() const override { return "TrackInfoArray"; }
};

using TrackInfoArrayPtr = std::shared_ptr<TrackInfoArray>;
