#pragma once

#include "docs/StatusDecisions.h"
#include "system/AlertHost.h"

#include <QList>
#include <QString>

#include <optional>

// What trovix-cli prints about a single file: its fields, the song hits and,
// after a save, the file as it is on disk.
struct FileView {
    struct Fields {
        QString title, track, count, artist, album, year, genre;
    };
    struct Hit {
        QString key;
        QString source;
        QString title;
        QString artist;
        QString album;
        QString year;
        QString genre;
        QString track; // "n/m" or "n"
        int score = 0;
        StatusRow status;
    };

    QString file;
    Fields fields;
    StatusRow status;
    QString newFileName;
    QList<Hit> hits;
    int chosenHit = -1; // 0-based; -1: none
    QList<Alert> alerts;
    bool saved = false;
    // Read back from the file after a save was asked for.
    std::optional<Fields> onDisk;
    QString onDiskPath;
};
