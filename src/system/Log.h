#pragma once

#include <QDebug>

// Everything the user need not see goes to the log (standard error, or the
// journal when run from the desktop). Web failures carry file and line.
#define TROVIX_LOG() qWarning().noquote()
#define TROVIX_WEB_LOG() qWarning().noquote().nospace() << __FILE__ << "/" << __LINE__ << ": "
