#pragma once

#include <QList>
#include <QString>

class MusicSource;

// Every music site, in the order a look-up asks them. Adding a site is one
// folder under src/web/sources/ and one line in MusicSources.cpp.
class MusicSources {
public:
    // The first call also registers every source's preference defaults.
    static const QList<const MusicSource*>& all();
    // Registers them without asking for the list: start-up does, so a key
    // listing holds the sites' keys too.
    static void registerPreferences() { all(); }
    // The source whose key prefix starts the key; null for any other key.
    static const MusicSource* forKey(const QString& key);
    // The source whose keys carry no prefix; null when none is registered.
    static const MusicSource* forBareKeys();
    static const MusicSource* byName(const QString& name);
};
