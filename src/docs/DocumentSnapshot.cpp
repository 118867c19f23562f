#include "docs/DocumentSnapshot.h"

#include "system/Disposal.h"

#include <memory>
#include <utility>

bool DocumentSnapshot::sameEdits(const DocumentSnapshot& other) const {
    if (order != other.order || records.size() != other.records.size()) return false;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const AudioTrack& a = *records[i];
        const AudioTrack& b = *other.records[i];
        if (a.getNewTitle() != b.getNewTitle() || a.hasNewTitle() != b.hasNewTitle() ||
            !(a.newTags() == b.newTags()))
            return false;
    }
    return albumFields == other.albumFields && lockAlbumInfo == other.lockAlbumInfo &&
           variousArtists == other.variousArtists &&
           reverseArtistTitle == other.reverseArtistTitle &&
           currentAlbumDetails == other.currentAlbumDetails && hit == other.hit;
}

QList<RecordCopy> SnapshotRecords::copy(const QList<AudioTrackRef>& order) {
    QHash<const AudioTrack*, RecordCopy> now;
    now.reserve(order.size());
    QList<RecordCopy> list;
    list.reserve(order.size());
    bool same = order.size() == fLastList.size();
    for (qsizetype i = 0; i < order.size(); ++i) {
        const AudioTrack* record = order[i].get();
        RecordCopy kept = fLast.value(record);
        if (!kept || !(*kept == *record)) kept = std::make_shared<const AudioTrack>(*record);
        same = same && kept == fLastList.at(i);
        now.insert(record, kept);
        list.append(kept);
    }
    fLast = std::move(now);
    // An unchanged folder shares the whole list as well.
    if (same) return fLastList;
    fLastList = list;
    return list;
}

void SnapshotRecords::clear() {
    // The copies may hold the last references to the file objects a save
    // replaced, each with its parsed tags: freeing a big folder's took
    // milliseconds on this thread, so they go off it.
    struct Copies {
        QHash<const AudioTrack*, RecordCopy> byRecord;
        QList<RecordCopy> list;
    };
    Disposal::later(
        std::make_shared<Copies>(Copies{std::exchange(fLast, {}), std::exchange(fLastList, {})}));
}
