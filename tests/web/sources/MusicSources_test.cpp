// The registry is what every part of the program walks: a site that misses
// one of these lines would be searched without its switch, shown without its
// icon or answer keys that belong to another.
#include "app/Preferences.h"
#include "prefs/PrefsOptions.h"
#include "prefs/WebSourcePrefs.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"
#include "web/sources/SourceOptions.h"

#include <QSet>

#include <gtest/gtest.h>

TEST(MusicSources, EverySiteRegistersItsKeysAndOwnsItsPrefix) {
    QSet<QString> prefixes, names;
    int bare = 0;
    for (const MusicSource* source : MusicSources::all()) {
        SCOPED_TRACE(source->name().toStdString());
        EXPECT_FALSE(names.contains(source->name()));
        names.insert(source->name());
        const QStringList keys = source->preferenceKeys();
        // A site that serves no hits (its search pages only) has no search to
        // turn on, and its keys name nothing to fetch.
        const bool serves = source->serves() != 0;
        EXPECT_EQ(keys.contains(source->enabledKey()), serves);
        EXPECT_TRUE(keys.contains(source->baseURLKey()));
        for (const QString& key : keys)
            EXPECT_TRUE(Prefs::defaultValue(key).isValid()) << key.toStdString();
        if (source->keyPrefix().isEmpty()) {
            ++bare;
            continue;
        }
        EXPECT_FALSE(prefixes.contains(source->keyPrefix()));
        prefixes.insert(source->keyPrefix());
        EXPECT_EQ(MusicSources::forKey(source->keyPrefix() + QStringLiteral("x")), source);
        EXPECT_EQ(ResultKeys::sourceOfKey(source->keyPrefix() + QStringLiteral("x")),
                  serves ? source : nullptr);
    }
    EXPECT_EQ(bare, 1);
    // Keys of the folder itself and of the browser-only site go to no source.
    for (const char* key : {"#TAG:", "#FILES:a", "#AMZN:b", ""})
        EXPECT_EQ(ResultKeys::sourceOfKey(QString::fromLatin1(key)), nullptr) << key;
    EXPECT_EQ(ResultKeys::sourceOfKey(QStringLiteral("rock/0a0b0c0d")),
              MusicSources::forBareKeys());
}

TEST(MusicSources, PreferencesWindowAndOptionsFollowTheRegistry) {
    QStringList rowKeys;
    for (const WebSourcePref& row : WebSourcePref::all())
        rowKeys << row.searchKey << row.baseKey;
    for (const MusicSource* source : MusicSources::all()) {
        EXPECT_TRUE(rowKeys.contains(source->enabledKey())) << source->name().toStdString();
        EXPECT_TRUE(rowKeys.contains(source->baseURLKey())) << source->name().toStdString();
    }

    // A look-up sees the settings as they were when its options were read.
    const MusicSource* first = MusicSources::all().first();
    Prefs::setOverride(first->enabledKey(), QStringLiteral("NO"));
    Prefs::setOverride(first->baseURLKey(), QStringLiteral("http://example.test//"));
    Prefs::setOverride(Prefs::kMaxEntriesToFetch, -3);
    const SourceOptions options = Prefs::sourceOptions();
    Prefs::setOverride(first->enabledKey(), QStringLiteral("YES"));
    EXPECT_FALSE(options.enabled(*first));
    EXPECT_EQ(options.baseURL(first->baseURLKey()), QStringLiteral("http://example.test"));
    EXPECT_EQ(options.maxEntries, 10); // never a negative limit in a query
    Prefs::clearOverrides();
}
