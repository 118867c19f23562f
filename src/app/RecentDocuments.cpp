#include "app/RecentDocuments.h"

#include "app/Preferences.h"

#include <QFileInfo>

namespace RecentDocuments {

namespace {
QStringList stored() {
    return Prefs::value(QString::fromLatin1(kRecentDocumentsKey)).toStringList();
}
} // namespace

void add(const QString& path) {
    QStringList paths = stored();
    paths.removeAll(path);
    paths.prepend(path);
    while (paths.size() > kMaxRecent)
        paths.removeLast();
    Prefs::setValue(QString::fromLatin1(kRecentDocumentsKey), paths);
}

void rename(const QString& from, const QString& to) {
    QStringList paths = stored();
    paths.removeAll(from);
    Prefs::setValue(QString::fromLatin1(kRecentDocumentsKey), paths);
    add(to);
}

QStringList list() {
    QStringList paths;
    for (const QString& p : stored())
        if (QFileInfo::exists(p)) paths << p;
    return paths;
}

void clear() {
    Prefs::setValue(QString::fromLatin1(kRecentDocumentsKey), QStringList());
}

} // namespace RecentDocuments
