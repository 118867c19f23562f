#pragma once

#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"

#include <QString>

#include <optional>

// What an undoable edit of a single-file document can change: the typed-in
// fields, the file's record and the chosen song hit. The record is kept by
// reference as well as by value, so an undo gives the window back the same
// record.
struct FileTagSnapshot {
    TagValues fields;
    AudioTrackRef song;
    std::optional<AudioTrack> record; // the contents of `song`, as they were
    AlbumInfoPtr hit;                 // found again by identity after a sort

    // Whether a save would see any difference (the chosen hit alone is not
    // an edit).
    bool sameEdits(const FileTagSnapshot& other) const;
};
