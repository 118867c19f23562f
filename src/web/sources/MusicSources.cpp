#include "web/sources/MusicSources.h"

#include "app/Preferences.h"
#include "web/sources/AllMusicGuide.h"
#include "web/sources/FreeDB.h"
#include "web/sources/Gnudb.h"
#include "web/sources/GoogleMusic.h"
#include "web/sources/LegacySource.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QList<const MusicSource*> makeSources() {
    static const MusicBrainz musicBrainz;
    static const LegacySource amg(
        {QStringLiteral("All Music Guide"), QStringLiteral("AMG Icon.ico"), QStringLiteral("#AMG:"),
         key(Prefs::kSearchAMG), key(Prefs::kAMGBaseURL),
         QStringLiteral("Searching All Music Guide..."), &AllMusicGuide::addAlbumHitsFromAMG,
         &AllMusicGuide::addTrackHitsFromAMG, &AllMusicGuide::AlbumDetailsWithAMGKey});
    static const LegacySource google(
        {QStringLiteral("Google Music"), QStringLiteral("Google Icon.ico"),
         QStringLiteral("#GOOG:"), key(Prefs::kSearchGOOG), key(Prefs::kGoogleBaseURL),
         QStringLiteral("Searching Google Music..."), &GoogleMusic::addAlbumHitsFromGOOG,
         &GoogleMusic::addTrackHitsFromGOOG, &GoogleMusic::AlbumDetailsWithGOOGKey});
    static const LegacySource gnudb(
        {QStringLiteral("gnudb"), QStringLiteral("Gnudb Icon.jpg"), QStringLiteral("#GNU:"),
         key(Prefs::kSearchGNUDB), key(Prefs::kGnudbBaseURL), QStringLiteral("Searching gnudb..."),
         &Gnudb::addAlbumHitsFromGNUDB, nullptr, &Gnudb::AlbumDetailsWithGNUDBKey});
    static const LegacySource freedb(
        {QStringLiteral("FreeDB"), QString(), QString(), key(Prefs::kSearchFreeDB),
         key(Prefs::kFreeDBBaseURL), QStringLiteral("Searching FreeDB..."),
         &FreeDB::addAlbumHitsFromFreeDB, nullptr, &FreeDB::AlbumDetailsWithFreeDBKey});
    return {&musicBrainz, &amg, &google, &gnudb, &freedb};
}

} // namespace

const QList<const MusicSource*>& MusicSources::all() {
    static const QList<const MusicSource*> sources = makeSources();
    return sources;
}

const MusicSource* MusicSources::forKey(const QString& key) {
    for (const MusicSource* source : all())
        if (source->ownsKey(key)) return source;
    return nullptr;
}

const MusicSource* MusicSources::byName(const QString& name) {
    for (const MusicSource* source : all())
        if (source->name() == name) return source;
    return nullptr;
}
