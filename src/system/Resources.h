#pragma once

#include <QString>

// Finds a shipped data file. Looks, in order, in $TROVIX_RESOURCE_DIR, in
// ../share/trovix beside the running executable (a relocated install), in the
// build tree's copy and in the configured install folder. Returns a null
// QString when none of them holds the file.
QString resourcePath(const QString& fileName);
