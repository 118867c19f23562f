#pragma once

#include <QtGlobal>

// What one answer from the web may cost at most. Three of the sites speak
// plain HTTP to hosts anyone may take over, so every size, count and wait
// that a server chooses is bounded here, in one place.
namespace WebLimits {

// A page or JSON answer read past this ends as "answer too large".
inline constexpr qsizetype kMaxPageBytes = 16 * 1024 * 1024;
// The same for a cover image.
inline constexpr qsizetype kMaxCoverBytes = 32 * 1024 * 1024;
// Each text field cut from a page keeps at most this many characters.
inline constexpr qsizetype kMaxFieldChars = 1024;
// An album from any source: more media or tracks than this is no real
// answer, and matching titles to files costs the product of both counts.
inline constexpr int kMaxMedia = 100;
inline constexpr int kMaxTracks = 1000;
// Result pages a song search follows through "Next" links.
inline constexpr int kMaxResultPages = 10;
// The default time of one whole look-up, searches, details and covers.
inline constexpr int kDefaultLookupSecs = 60;
// Debug copies: one file, and the dump folder as a whole.
inline constexpr qint64 kMaxDumpBytes = 1024 * 1024;
inline constexpr qint64 kMaxDumpFolderBytes = 64 * 1024 * 1024;

} // namespace WebLimits
