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
    return rows;
}
