#pragma once

#include <QString>
#include <QStringList>

// The folders and files opened lately, newest first, kept in the settings
// ("RecentDocuments") for the Open Recent menu.
namespace RecentDocuments {

inline constexpr const char* kRecentDocumentsKey = "RecentDocuments";
inline constexpr int kMaxRecent = 10;

// Puts the path first, dropping an older entry of it and the oldest beyond
// the limit.
void add(const QString& path);
// A document that moved (a save renamed it): the old entry goes and the new
// path comes first, as the one used last.
void rename(const QString& from, const QString& to);
// The entries that still exist, newest first.
QStringList list();
void clear();

} // namespace RecentDocuments
