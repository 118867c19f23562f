#pragma once

#include <QDebug>

namespace trovix_log {

// The file name of a source path, so log lines read "AllMusicGuide.cpp/42: "
// whatever folder the build ran in.
constexpr const char* baseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/') base = p + 1;
    return base;
}

} // namespace trovix_log

// Everything the user need not see goes to the log (standard error, or the
// journal when run from the desktop). Web failures carry file and line.
#define TROVIX_LOG() qWarning().noquote()
#define TROVIX_WEB_LOG()                                                                           \
    qWarning().noquote().nospace() << trovix_log::baseName(__FILE__) << "/" << __LINE__ << ": "
