#include "web/sources/SourceOptions.h"

#include "app/Preferences.h"
#include "model/AlbumInfoArray.h"
#include "web/sources/AmazonMusic.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

bool SourceOptions::enabled(const MusicSource& source) const {
    const QVariant value = values.value(source.enabledKey());
    if (value.typeId() == QMetaType::QString) {
        const QString s = value.toString().trimmed().toLower();
        return s == QLatin1String("yes") || s == QLatin1String("true") || s == QLatin1String("1");
    }
    return value.toBool();
}

QString SourceOptions::string(const QString& key) const {
    return values.value(key).toString();
}

QString SourceOptions::baseURL(const QString& key) const {
    QString base = string(key);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

SourceOptions SourceOptions::fromPreferences() {
    SourceOptions options;
    for (const MusicSource* source : MusicSources::all())
        for (const MusicSource::Preference& pref : source->preferences())
            options.values.insert(pref.key, Prefs::value(pref.key));
    // The browser-only site is no registered source.
    const QString amazon = QString::fromLatin1(AmazonMusic::kBaseURLKey);
    options.values.insert(amazon, Prefs::value(amazon));
    // A negative setting means the default, as the hit list reads it; sent
    // as it is, it would ask a site for "limit=-3".
    const int maxEntries = Prefs::maxEntriesToFetch();
    options.maxEntries = maxEntries > 0 ? maxEntries : AlbumInfoArray::kDefaultMaxEntries;
    options.searchCovers = Prefs::boolValue(QString::fromLatin1(Prefs::kSearchForCoverArt));
    const int timeLimit = Prefs::intValue(QString::fromLatin1(Prefs::kLookupTimeLimit));
    options.lookupTimeLimitSecs = timeLimit > 0 ? timeLimit : WebLimits::kDefaultLookupSecs;
    options.homePage = Prefs::stringValue(QString::fromLatin1(Prefs::kHomePageURL));
    return options;
}
