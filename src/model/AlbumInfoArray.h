#pragma once

#include "model/AlbumInfo.h"
#include "model/RecordArray.h"

// The ranked hit list of one lookup, best first.
class AlbumInfoArray : public RecordArray<AlbumInfo> {
public:
    // The limit used when "MaxEntriesToFetch" is 0 or missing.
    static constexpr int kDefaultMaxEntries = 10;

    virtual std::shared_ptr<AlbumInfoArray> copy() const;

    // Inserts the hit itself by rank: refused when a listed hit has the same
    // key (whatever its case) or when it would land beyond the limit; the
    // list is then cut back to the limit. Without weights the score is 100
    // (the hits made from the folder itself). `max` above 0 lowers the limit.
    bool addSorted(const AlbumInfoPtr& hit, const std::optional<ScoreWeights>& weights, int max);
    void calcScoresAndSort(const std::optional<ScoreWeights>& weights);
    // The folder's file count: at equal scores a hit whose track count
    // matches it ranks above one that does not. 0 turns this off.
    void setFolderTrackCount(int count) { fFolderTrackCount = count; }

    // Sorts by the comparison of a table column ("artist", "album", "genre",
    // "year", "relevance"); false for a column that has none.
    virtual bool sortByColumn(const QString& identifier);

    // The most hits the list keeps: the look-up's "MaxEntriesToFetch", with
    // 0 or negative as 10.
    int maxEntries() const { return fMaxEntries; }
    void setMaxEntries(int n) { fMaxEntries = n > 0 ? n : kDefaultMaxEntries; }

protected:
    const char* className() const override { return "AlbumInfoArray"; }

private:
    int fFolderTrackCount = 0;
    int fMaxEntries = kDefaultMaxEntries;
};
