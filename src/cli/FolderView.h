#pragma once

#include "docs/StatusDecisions.h"
#include "model/MatchDistance.h"
#include "system/AlertHost.h"

#include <QList>
#include <QString>

#include <optional>

// What trovix-cli prints about a folder: the proposal as the window would
// show it, independent of the document that produced it.
struct FolderView {
    struct Track {
        QString file; // current file name; empty for a placeholder
        QString path;
        QString oldTitle;
        QString newTitle;
        QString newArtist; // the artist the save writes
        QString newTrack;
        QString newDisc; // "n/m"; null when the save leaves the disc
        QString newFileName;
        bool placeholder = false;
        StatusRow status;
    };
    struct Hit {
        QString key;
        QString source;
        QString artist;
        QString album;
        QString year;
        QString genre;
        int score = 0;
        int tracks = 0;
        std::optional<MatchDistance> distance; // none for a hit without details
    };

    QString folder;
    QString artist;
    QString albumArtist; // null when the save leaves the files' album artist
    QString album;
    QString year;
    QString genre;
    bool variousArtists = false;
    QList<Track> tracks;
    QList<Hit> hits;
    int chosenHit = -1; // 0-based; -1: none
    QList<Alert> alerts;
    bool saved = false;
};

// The source a result key names.
QString sourceOfKey(const QString& key);
