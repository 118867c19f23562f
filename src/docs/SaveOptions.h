#pragma once

#include "art/CoverOptions.h"
#include "model/NamingOptions.h"
#include "tags/TagValues.h"

#include <QString>

#include <memory>
#include <sys/stat.h>

class MusicFile;

// The settings a save uses, read once on the main thread when it starts, so
// a preference changed meanwhile cannot change it halfway.
struct SaveOptions {
    int tagVersion = 3; // "TagVersion": 2 writes ID3v2.3, 3 ID3v2.4
    bool renameTracks = false;
    bool renameFolder = false;
    bool backup = false;
    NamingOptions naming;
    CoverOptions cover;
    QString homePage; // named by the custom tag

    // The fields a save writes from the document; any other field keeps
    // what the file holds.
    static constexpr TagFields kWrittenFields = TagField::Title | TagField::Artist |
                                                TagField::Album | TagField::Year | TagField::Genre |
                                                TagField::Track | TagField::TrackCount;

    static SaveOptions fromPrefs();

    // Opens the file afresh for the worker and sets these fields on it in
    // memory; null when it cannot be read. With `opened`, a change another
    // program made since the window read the file is refused at the write.
    std::shared_ptr<MusicFile> openTagged(const QString& path, const struct stat* opened,
                                          const TagValues& tags, TagFields fields) const;
};
