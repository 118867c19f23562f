#include "web/sources/MusicSources.h"

#include "app/Preferences.h"

#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/amazon/AmazonMusic.h"
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
    static const AmazonMusic amazon;
    static const QList<const MusicSource*> sources = [&] {
        const QList<const MusicSource*> list{&musicBrainz, &allMusic, &googleMusic,
                                             &gnudb,       &freedb,   &amazon};
        std::vector<std::pair<QString, QVariant>> defaults;
        for (const MusicSource* source : list)
            for (const MusicSource::Preference& pref : source->preferences())
                defaults.emplace_back(pref.key, pref.defaultValue);
        Prefs::addDefaults(defaults);
        return list;
    }();
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
