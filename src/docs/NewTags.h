#pragma once

#include <QString>

#include <memory>
#include <sys/stat.h>

class AudioTrack;
class MusicFile;
struct SaveOptions;

// The tags a save writes into one file, copied into its plan on the main
// thread. The same values name the file (on a copy of its record) and are
// set on the worker's own file object.
struct NewTags {
    QString artist, album, year, genre, title;
    int track = 0, trackCount = 0;

    // The record as it will read once written, for the naming templates.
    void setOn(AudioTrack& record) const;
    // Opens the file afresh for the worker and sets these tags on it in
    // memory; null when it cannot be read. With `opened`, a change another
    // program made since the window read the file is refused at the write.
    std::shared_ptr<MusicFile> openTagged(const QString& path, const struct stat* opened,
                                          const SaveOptions& options) const;
};
