#pragma once

#include "system/Outcome.h"

#include <QString>

class ProgressIndicator;

// Copies an album folder (or a single file) into "Trovix Backups" inside the user's music folder
// before a save changes it. The copy is made with direct file operations,
// never through a shell, so any entry name is copied literally; permission
// bits and modification times are kept, and owners where allowed.
class FolderBackup {
public:
    // A backup: Done, Nothing (the folder has no entries) or Failed, with
    // which file and why.
    struct Copy {
        QString target; // the backup folder chosen (removed again on failure)
        Outcome outcome;
        // Nothing is lost without it: a save may go on.
        bool ok() const { return outcome.code != Outcome::Code::Failed; }
    };

    // The XDG music folder (falling back to ~/Music) / "Trovix Backups".
    static QString backupsFolder();
    // The first free name among NAME, "NAME 1", "NAME 2", ... inside backups.
    static QString chooseTarget(const QString& backups, const QString& folderName);

    // The first free name among "a.mp3", "a 1.mp3", "a 2.mp3", ... inside
    // backups (the number goes before the extension).
    static QString chooseFileTarget(const QString& backups, const QString& fileName);
    // Copies one file into the backups folder under the first free name.
    static Copy backupFile(const QString& file);
    // Copies one file to `target`, which must not exist yet.
    static Copy backupFile(const QString& file, const QString& target);

    // Backs the folder up into a new folder of the backups folder.
    static Copy backupFolder(const QString& folder, ProgressIndicator* progress);
    // Copies the entries of `source` (hidden ones included) into the new
    // folder `target`, which must not exist yet.
    static Copy backupFolder(const QString& source, const QString& target,
                             ProgressIndicator* progress);
};
