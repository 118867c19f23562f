#pragma once

#include "art/CoverOptions.h"
#include "model/NamingOptions.h"

// The options values of the lower layers, read from the settings store on the
// main thread where an operation starts.
namespace Prefs {

NamingOptions namingOptions();
CoverOptions coverOptions();
bool smartCapitalization();

} // namespace Prefs
