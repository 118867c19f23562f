#pragma once

#include "media/Mp3Layout.h"

#include <cstdint>
#include <optional>

// An MP3 file's bit rate and length worked out the way TagLib's MPEG reader
// does (average style), from a few reads: a Xing, Info or VBRI header in the
// first frame gives both; else the first frame's bit rate and the span from
// the first to the last frame. Only Layer III audio starting right behind
// the leading tag is read here; anything else gives nullopt and TagLib reads
// the file.
struct Mp3Audio {
    int64_t firstFrame = -1;
    int bitrate = 0;  // kbit/s
    int lengthMs = 0; // 0 when the last frame was not found
    bool vbr = false; // a Xing (not Info) or VBRI header marks the first frame

    static std::optional<Mp3Audio> read(const FileStretch& file, const Mp3Layout& layout);
};
