#include "prefs/WebSourcePrefs.h"

#include "app/Preferences.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

QList<WebSourcePref> WebSourcePref::all() {
    QList<WebSourcePref> rows;
    for (const MusicSource* source : MusicSources::all()) {
        rows.append({source->name(), source->enabledKey(), source->baseURLKey()});
        for (const MusicSource::Preference& pref : source->preferences())
            if (!pref.label.isEmpty()) rows.append({pref.label, QString(), pref.key});
    }
    // Amazon is only opened in the browser: an address, no search to turn on.
    rows.append({QStringLiteral("Amazon"), QString(), QString::fromLatin1(Prefs::kAmazonBaseURL)});
    return rows;
}
