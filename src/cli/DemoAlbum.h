#pragma once

#include "system/Outcome.h"

#include <QString>

namespace DemoAlbum {

// Builds a small album folder of silent MP3 and M4A files whose tags and
// names disagree the way real downloads do: mixed case, a missing year,
// track numbers with and without a count. `dir` must not exist
// or be empty.
Outcome build(const QString& dir);

} // namespace DemoAlbum
