#include "app/WebSourcePrefs.h"

#include "app/Preferences.h"

namespace {

struct Row {
    const char* name;
    const char* searchKey;
    const char* baseKey;
};

constexpr Row kRows[] = {
    {"MusicBrainz", Prefs::kSearchMB, Prefs::kMusicBrainzBaseURL},
    {"Cover Art Archive", nullptr, Prefs::kCoverArtArchiveBaseURL},
    {"All Music Guide", Prefs::kSearchAMG, Prefs::kAMGBaseURL},
    {"Google Music", Prefs::kSearchGOOG, Prefs::kGoogleBaseURL},
    {"gnudb", Prefs::kSearchGNUDB, Prefs::kGnudbBaseURL},
    {"FreeDB", Prefs::kSearchFreeDB, Prefs::kFreeDBBaseURL},
    {"Amazon", nullptr, Prefs::kAmazonBaseURL},
};

bool registered(const char* key) {
    return !key || Prefs::defaultValue(QString::fromLatin1(key)).isValid();
}

} // namespace

QList<WebSourcePref> WebSourcePref::all() {
    QList<WebSourcePref> rows;
    for (const Row& row : kRows) {
        if (!registered(row.searchKey) || !registered(row.baseKey)) continue;
        rows.append({QString::fromLatin1(row.name),
                     row.searchKey ? QString::fromLatin1(row.searchKey) : QString(),
                     QString::fromLatin1(row.baseKey)});
    }
    return rows;
}
