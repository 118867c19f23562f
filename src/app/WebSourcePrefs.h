#pragma once

#include <QList>
#include <QString>

// The web sources as the preferences window lists them: one row per source
// with its on/off key (null for a source that is always asked, such as a
// browser look-up) and the key of its base address. A source whose keys are
// not registered yet is left out, so a row appears with its keys.
struct WebSourcePref {
    QString name;
    QString searchKey;
    QString baseKey;

    static QList<WebSourcePref> all();
};
