#pragma once

#include <QString>

// An exclusive lock on a folder (flock on the folder itself), held while a
// save changes it, so two saves of one folder, in one process or in two,
// never interleave. The lock follows the folder through a rename and ends
// with the object (or the process).
class FolderLock {
public:
    enum class Code {
        Locked,
        Busy,   // another save holds it
        Failed, // the folder could not be opened; see error
    };

    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Never waits: a folder being saved is reported Busy at once. On a file
    // system without locks the folder counts as locked.
    Code tryLock(const QString& folder);
    void unlock();
    bool locked() const { return fFd >= 0; }
    QString error() const { return fError; }
    // What a save refused by `code` tells the user.
    QString refusal(Code code) const;

    static inline const QString kBusyMessage =
        QStringLiteral("This folder is being saved by another Trovix process.");

private:
    int fFd = -1;
    QString fError;
};
