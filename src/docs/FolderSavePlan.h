#pragma once

#include "art/CoverToStore.h"
#include "docs/DocumentBase.h"
#include "docs/SaveOptions.h"
#include "model/AudioTrack.h"
#include "system/AlertHost.h"
#include "tags/CustomTag.h"

#include <QList>
#include <QString>

#include <optional>
#include <sys/stat.h>

class ProgressIndicator;

// What a folder save did, returned by value to the main thread, which
// applies it in one step.
struct FolderSaveReport {
    struct File {
        qsizetype row = -1; // in the document's track list
        bool written = false;
        // The file as written and named, read back from the worker's own
        // file object; set only when written.
        std::optional<AudioTrack> readBack;
    };
    QList<File> files;
    QString folder;      // where the folder is now
    QList<Alert> alerts; // in the order they arose
    QList<DocumentBase::SaveFailure> failures;
    // False when the save stopped before writing (the folder was busy, the
    // backup failed): there is nothing to conclude.
    bool reachedWrite = false;
};

// Everything a folder save needs, copied on the main thread when it starts:
// the new tags of each file to write, the custom tag, the names
// the files and the folder are to take, and the options. The worker runs it
// against the files with file objects of its own; the document's records are
// never touched off the main thread.
struct FolderSavePlan {
    struct File {
        qsizetype row = -1;
        QString name; // in the folder now
        TagValues tags;           // the values a save writes, in `fields`
        TagFields fields;         // (TrackTagPlan::fields)
        QByteArray pictureFormat; // the file's own (MusicFile::imageFormat)
        struct stat opened {};    // the record's file as it was read
        bool haveOpened = false;
        // The templated name (empty: the template gave none), the ".XXX"
        // name a taken one is numbered from, and the length limit.
        QString newName;
        QString numberedName;
        int nameLimit = 0;
    };
    QString folder;
    SaveOptions options;
    bool backup = false;
    int recordCount = 0; // placeholders and unwritten records included
    QList<File> files;   // the files to write, in row order
    CustomTag tag;
    QList<QByteArray> pictureFormats; // the files' own, each once
    CoverToStore cover;               // made on the worker before run()
    QString newFolderName;            // null when the folder keeps its name

    // The worker's part: lock, backup, one batch of tags, the journalled
    // renames, the folder's new name. `progress` may be null.
    FolderSaveReport run(ProgressIndicator* progress) const;
};
