#pragma once

#include "web/WebLimits.h"

#include <QHash>
#include <QString>
#include <QVariant>

class MusicSource;

// The settings one look-up uses, read once on the main thread when it starts
// (Prefs::sourceOptions) and passed down to the sources: a preference changed while the look-up
// runs does not reach it half-way, and no worker reads the settings store.
struct SourceOptions {
    // Every preference a registered source names, by key.
    QHash<QString, QVariant> values;
    int maxEntries = 10;
    bool searchCovers = true;
    // How long the whole look-up may take (LookupDeadline).
    int lookupTimeLimitSecs = WebLimits::kDefaultLookupSecs;
    QString homePage;

    bool enabled(const MusicSource& source) const;
    QString string(const QString& key) const;
    // A base-address preference without its trailing slashes, so that paths
    // can be appended as they are.
    QString baseURL(const QString& key) const;
};
