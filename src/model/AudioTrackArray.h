#pragma once

#include "model/AudioTrack.h"

#include <QList>
#include <QString>

// The ordered track list of a document: real records and placeholders, in
// the order their track numbers will be written.
//
// The list holds shared records (AudioTrackRef): `add` and `addArray` put
// the very records in, so a document that keeps a record sees the list's
// changes and vice versa; copying the list shares the records too.
// `addCopy` and `insertObject` put in a fresh copy of the record, which still
// shares the record's music file.
class AudioTrackArray {
public:
    using Comparison = int (AudioTrack::*)(const AudioTrack&) const;

    AudioTrackArray() = default;

    qsizetype count() const { return fArray.size(); }
    // Null when the index is out of range.
    AudioTrackRef at(qsizetype index) const;
    const QList<AudioTrackRef>& array() const { return fArray; }
    QList<AudioTrackRef>::const_iterator begin() const { return fArray.cbegin(); }
    QList<AudioTrackRef>::const_iterator end() const { return fArray.cend(); }

    void add(const AudioTrackRef& track);
    void addCopy(const AudioTrack& track);
    void addArray(const AudioTrackArray& other);
    // Inserts a copy; an index past the end appends.
    void insertObject(const AudioTrack& track, qsizetype index);
    // Removes every occurrence of this very record.
    void removeObject(const AudioTrackRef& track);
    void removeObjectAtIndex(qsizetype index);
    // A stable sort by AudioTrack::compareIndex, compareFileName or
    // compareOldFileTitle.
    void sortUsingSelector(Comparison compare);

    // The first record that is not a placeholder, or null.
    AudioTrackRef firstRealTrackP() const;
    // The first real record with a non-empty new title, or null.
    AudioTrackRef firstGoodTrack() const;
    bool anyTracksMissing() const;
    // Placeholders skipped: -1 when no record has a bit rate above 0, 0 when
    // they differ, else the common rate.
    int albumBitrate() const;
    // The album-wide values of folder names.
    AlbumNameFacts albumNameFacts() const { return {albumBitrate(), anyTracksMissing()}; }
    // 2 when no record may be tagged (an empty list too), 1 when some may
    // not, 0 when all may.
    int anyReadOnlyTracks() const;
    bool anyTitlesBlank() const;

    QString description() const;

private:
    QList<AudioTrackRef> fArray;
};
