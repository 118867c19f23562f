#pragma once

#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>

using RecordCopy = std::shared_ptr<const AudioTrack>;

// What an undoable edit of a folder document can change: the order of the
// track records and their contents, the album fields, the three boxes, the
// chosen album and the selections. The records are kept by reference as
// well as by value, so an undo gives the window back the same records.
struct DocumentSnapshot {
    QList<AudioTrackRef> order;
    QList<RecordCopy> records; // the contents of `order`, as they were
    TagValues albumFields;
    bool lockAlbumInfo = false;
    bool variousArtists = false;
    bool reverseArtistTitle = false;
    AlbumDetailsPtr currentAlbumDetails;
    AlbumInfoPtr hit; // the chosen hit, found again by identity after a sort
    QList<qsizetype> selection;

    // Whether a save would see any difference (the selection is not part of
    // an edit).
    bool sameEdits(const DocumentSnapshot& other) const;
};

// Copies of the records for snapshots. A record that has not changed since
// the last snapshot shares that snapshot's copy, so a history of edits to a
// few rows of a big folder does not hold a copy of every row per step.
class SnapshotRecords {
public:
    QList<RecordCopy> copy(const QList<AudioTrackRef>& order);
    void clear();

private:
    QHash<const AudioTrack*, RecordCopy> fLast;
    QList<RecordCopy> fLastList;
};
