#pragma once

#include <limits>

// A length in milliseconds or a bit rate worked out from a stream's own
// numbers, rounded; 0, for unknown, when a damaged or forged stream makes it
// negative, not a number, or too large for an int (a granule position or a
// frame count near its type's limit).
inline int roundedAudioFigure(double value) {
    return value >= 0 && value < double(std::numeric_limits<int>::max()) ? int(value + 0.5) : 0;
}
