#pragma once

#include "art/CoverOptions.h"
#include "model/NamingOptions.h"
#include "web/sources/SourceOptions.h"

// The options values of the lower floors, read from the settings store on the
// main thread where an operation starts: the one place that knows which
// settings each takes.
namespace Prefs {

NamingOptions namingOptions();
CoverOptions coverOptions();
// The settings of every registered source, and the look-up's own.
SourceOptions sourceOptions();
bool smartCapitalization();

} // namespace Prefs
