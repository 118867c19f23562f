#pragma once

#include "system/Outcome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

class FolderHandle;

// The new file of a whole-file rewrite while it is being made: a hidden
// file beside the music file, named after it and after the process that
// owns it (".<name>.trovix-<pid>.tmp"), so that a copy left by a killed save
// is recognised and removed the next time the folder is opened. Removed
// when destroyed unless it replaced its music file.
class TempCopy {
public:
    TempCopy() = default;
    ~TempCopy();
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    // Creates, open for writing, the copy of the file named `fileName` in
    // `folder`: beside the music file it replaces, or (same disk) in the
    // album folder whose link leads to it.
    Outcome create(const QString& folder, const QString& fileName);
    int fd() const { return fFd; }
    QString path() const;

    // Gives the copy the owner, group, permissions, extended attributes
    // (access control lists among them) and access time of the original.
    // Fails when the owner or an attribute that guards access cannot be
    // kept: the copy must not replace the original then.
    Outcome keepMetadataOf(int original, const struct stat& st);
    // Closes the descriptor; the data is synced later, with the batch.
    Outcome close();
    // Renames the copy over `target`; after that it is no longer removed.
    Outcome replace(const QString& target);
    void discard();

    // The name of the copy of a file of that name made by that process,
    // shortened to fit a file name's 255 bytes.
    static QByteArray nameFor(const QByteArray& fileName, long pid);
    // The owning process of a copy's name, and the music file's name; 0
    // when the name is not one of ours.
    static long ownerOf(const QByteArray& name, QByteArray* fileName = nullptr);
    // Removes the copies in `folder` (regular files only) whose process is
    // no longer running. The names of their music files.
    static QStringList removeOrphans(const FolderHandle& folder);

private:
    QByteArray fPath;
    int fFd = -1;
    bool fReplaced = false;
};
