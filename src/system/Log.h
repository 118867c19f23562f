#pragma once

#include <QDebug>
#include <QLoggingCategory>

namespace trovix_log {

// The file name of a source path, so log lines read "AllMusicGuide.cpp/42: "
// whatever folder the build ran in.
constexpr const char* baseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/') base = p + 1;
    return base;
}

// Turns the web debug lines on or off (--verbose). QT_LOGGING_RULES
// "trovix.web.debug=true" turns them on as well.
void setVerbose(bool on);

} // namespace trovix_log

// The web's debug lines: every request that failed, every host skipped. Off
// unless asked for, since a user offline would otherwise read one for every
// request; a source that fails says so once, in words, through TROVIX_LOG.
Q_DECLARE_LOGGING_CATEGORY(gWebLog)

// Everything the user need not see goes to the log (standard error, or the
// journal when run from the desktop). Web debug lines carry file and line.
#define TROVIX_LOG() qWarning().noquote()
#define TROVIX_WEB_LOG()                                                                           \
    qCDebug(gWebLog).noquote().nospace()                                                           \
        << trovix_log::baseName(__FILE__) << "/" << __LINE__ << ": "
