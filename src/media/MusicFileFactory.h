#pragma once

#include "media/MusicFile.h"

#include <QString>

#include <memory>

// Opens a music file as the class of its kind. Apart from MusicFile, so the
// base class knows none of the formats that derive from it.
class MusicFileFactory {
public:
    // By extension, case ignored: "mp3" an MP3File, "m4a", "m4p", "m4b" or
    // "mp4" an M4AFile, "flac" a FlacFile, "ogg", "oga" or "opus" an OggFile;
    // anything else, or a file its type cannot open, gives null.
    static std::shared_ptr<MusicFile> newMusicFileWithPath(const QString& path);
};
