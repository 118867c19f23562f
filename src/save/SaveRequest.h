#pragma once

#include "save/SaveReport.h"
#include "tags/CustomTag.h"
#include "tags/TagValues.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class MusicFile;
class ProgressIndicator;

// Everything one save needs, copied on the main thread when it starts: the
// files to write with their new tags, the names they and the folder are to
// take, and the options. The worker runs it against the files with file
// objects of its own; of the document's records it only reads their file
// objects, to copy them. A folder and a single file save the same way: the single file is
// a request of one file.
struct SaveRequest {
    struct File {
        qsizetype row = -1; // the caller's own numbering, handed back in the report
        QString name;       // in the folder now
        TagValues tags;     // the values a save writes, in `fields`
        TagFields fields;
        QByteArray pictureFormat; // the file's own (MusicFile::imageFormat)
        // The record's file object, which nothing changes while the save
        // runs: the worker sets the tags on a copy of it (copyAsOpened), or
        // on the file read again, refused if it changed since this was read.
        std::shared_ptr<const MusicFile> opened;
        // The templated name (empty: the template gave none), the ".XXX"
        // name a taken one is numbered from, and the length limit.
        QString newName;
        QString numberedName;
        int nameLimit = 0;
    };
    // What the user saves: the alerts and the backup name it.
    enum class Scope { Folder, SingleFile };

    Scope scope = Scope::Folder;
    QString folder;
    QList<File> files;   // the files to write
    int recordCount = 0; // what the progress counts: files not written included
    // A copy before anything changes (of the folder, or of the single file);
    // without it nothing is written.
    bool backup = false;
    int tagVersion = 3; // ID3v2: 2 writes version 2.3, 3 version 2.4
    QString homePage;   // named by the custom tag
    bool renameTracks = false;
    bool renameFolder = false;
    QString newFolderName;        // null when the folder keeps its name
    std::optional<CustomTag> tag; // written to every file when set
    // The shown cover, set on the worker (where its bytes are made) before
    // run(): `writeCoverFile` writes the cover file beside the music, false
    // when it could not (null: there is none); `applyCover` changes one
    // file's picture in memory (null: the tags keep theirs).
    std::function<bool()> writeCoverFile;
    std::function<void(MusicFile& file, const QByteArray& fileFormat, bool coverFileWritten)>
        applyCover;

    // The worker's part: lock, backup, one batch of tags, the journalled
    // renames, the folder's new name, the files read back. `progress` may
    // be null.
    SaveReport run(ProgressIndicator* progress) const;
};
