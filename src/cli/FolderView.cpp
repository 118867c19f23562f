#include "cli/FolderView.h"

QString sourceOfKey(const QString& key) {
    if (key.isEmpty()) return QString();
    if (key.startsWith(QLatin1String("#AMG:"))) return QStringLiteral("All Music Guide");
    if (key.startsWith(QLatin1String("#GOOG:"))) return QStringLiteral("Google Music");
    if (key.startsWith(QLatin1String("#GNU:"))) return QStringLiteral("gnudb");
    if (key.startsWith(QLatin1String("#TAG:"))) return QStringLiteral("tags");
    if (key.startsWith(QLatin1String("#FILES:"))) return QStringLiteral("file names");
    return QStringLiteral("FreeDB");
}
