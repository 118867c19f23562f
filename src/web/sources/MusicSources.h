#pragma once

#include <QList>
#include <QString>

class MusicSource;

// Every music site, in the order a look-up asks them: MusicBrainz first, then
// All Music Guide, Google Music, gnudb and FreeDB. Adding a site is one line
// in MusicSources.cpp.
class MusicSources {
public:
    static const QList<const MusicSource*>& all();
    // The source whose key prefix starts the key; null for local and unknown
    // keys (FreeDB's bare keys included: the result keys decide those).
    static const MusicSource* forKey(const QString& key);
    static const MusicSource* byName(const QString& name);
};
