#include "cli/FolderView.h"

#include "web/sources/MusicSource.h"
#include "web/sources/ResultKeys.h"

QString sourceOfKey(const QString& key) {
    if (key.startsWith(ResultKeys::kTagPrefix)) return QStringLiteral("tags");
    if (key.startsWith(ResultKeys::kFilesPrefix)) return QStringLiteral("file names");
    const MusicSource* source = ResultKeys::sourceOfKey(key);
    return source ? source->name() : QString();
}
