#pragma once

#include <QList>
#include <QString>

// The web sources as the preferences window lists them: one row per
// registered source with its on/off key and the key of its base address, a
// row for each further address a source names (null on/off key), and the
// browser look-up's address.
struct WebSourcePref {
    QString name;
    QString searchKey;
    QString baseKey;

    static QList<WebSourcePref> all();
};
