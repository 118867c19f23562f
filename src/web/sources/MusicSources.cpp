#include "web/sources/MusicSources.h"

#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

const QList<const MusicSource*>& MusicSources::all() {
    static const MusicBrainz musicBrainz;
    static const AllMusicGuide allMusic;
    static const GoogleMusic googleMusic;
    static const Gnudb gnudb;
    static const FreeDB freedb;
    static const QList<const MusicSource*> sources{&musicBrainz, &allMusic, &googleMusic, &gnudb,
                                                   &freedb};
    return sources;
}

const MusicSource* MusicSources::forKey(const QString& key) {
    for (const MusicSource* source : all())
        if (source->ownsKey(key)) return source;
    return nullptr;
}

const MusicSource* MusicSources::forBareKeys() {
    for (const MusicSource* source : all())
        if (source->keyPrefix().isEmpty()) return source;
    return nullptr;
}

const MusicSource* MusicSources::byName(const QString& name) {
    for (const MusicSource* source : all())
        if (source->name() == name) return source;
    return nullptr;
}
