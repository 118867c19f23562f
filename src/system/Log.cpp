#include "system/Log.h"

Q_LOGGING_CATEGORY(gWebLog, "trovix.web", QtInfoMsg)

void trovix_log::setVerbose(bool on) {
    QLoggingCategory::setFilterRules(on ? QStringLiteral("trovix.web.debug=true") : QString());
}
