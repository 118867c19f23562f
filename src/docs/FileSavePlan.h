#pragma once

#include "art/CoverToStore.h"
#include "docs/DocumentBase.h"
#include "docs/SaveOptions.h"
#include "model/AudioTrack.h"
#include "system/AlertHost.h"

#include <QList>
#include <QString>

#include <optional>
#include <sys/stat.h>

class ProgressIndicator;

// What a single-file save did, returned by value to the main thread, which
// applies it in one step.
struct FileSaveReport {
    QString path; // where the file is now
    // The file as written and named, read back from the worker's own file
    // object; set only when its tags were written.
    std::optional<AudioTrack> readBack;
    QList<Alert> alerts; // in the order they arose
    QList<DocumentBase::SaveFailure> failures;
    // False when the save stopped before writing (the folder was busy, the
    // backup failed): there is nothing to conclude.
    bool reachedWrite = false;
};

// Everything a single-file save needs, copied on the main thread when it
// starts: the fields as tags, the file, the name it is to take and the
// options. The worker writes through a file object of its own; the
// document's record is never touched off the main thread.
struct FileSavePlan {
    QString path; // the file now
    // False when there is nothing to write (no writable file, no title).
    bool write = false;
    TagValues tags;           // the fields a save writes (SaveOptions::kWrittenFields)
    QByteArray pictureFormat; // the file's own (MusicFile::imageFormat)
    struct stat opened {};    // the record's file as it was read
    bool haveOpened = false;
    SaveOptions options;
    bool backup = false;
    // With renaming on: the templated name (empty: the template gave none),
    // the ".XXX" name a taken one is numbered from, and the length limit.
    QString newName;
    QString numberedName;
    int nameLimit = 0;
    CoverToStore cover; // made on the worker before run()

    // The worker's part: lock, backup, the tags written as a batch of one,
    // the journalled rename, the file read back. `progress` may be null.
    FileSaveReport run(ProgressIndicator* progress) const;
};
