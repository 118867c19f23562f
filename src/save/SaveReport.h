#pragma once

#include "model/AudioTrack.h"
#include "system/AlertHost.h"

#include <QList>
#include <QString>

#include <optional>

// What a save did, returned by value to the main thread, which applies it in
// one step.
struct SaveReport {
    struct File {
        qsizetype row = -1; // as the request numbered it
        bool written = false;
        QString name; // in the folder now
        // The file as written and named, read back from the worker's own
        // file object; set only when written.
        std::optional<AudioTrack> readBack;
    };
    // A file (or the folder) the save could not write or rename, and why.
    struct Failure {
        QString file;
        QString reason;
    };
    QList<File> files;
    QString folder;      // where the folder is now
    QList<Alert> alerts; // in the order they arose
    QList<Failure> failures;
    // False when the save stopped before writing (the folder was busy, the
    // backup failed): there is nothing to conclude.
    bool reachedWrite = false;
};
