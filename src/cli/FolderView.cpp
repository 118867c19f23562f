#include "cli/FolderView.h"

#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

QString sourceOfKey(const QString& key) {
    if (key.isEmpty()) return QString();
    if (const MusicSource* source = MusicSources::forKey(key)) return source->name();
    if (key.startsWith(QLatin1String("#TAG:"))) return QStringLiteral("tags");
    if (key.startsWith(QLatin1String("#FILES:"))) return QStringLiteral("file names");
    return QStringLiteral("FreeDB");
}
