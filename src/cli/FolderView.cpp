#include "cli/FolderView.h"

#include "web/sources/ResultKeys.h"

QString sourceOfKey(const QString& key) {
    return ResultKeys::sourceName(key);
}
