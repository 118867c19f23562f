#pragma once

#include "system/Outcome.h"

#include <QString>

// An exclusive lock on a folder (flock on the folder itself), held while a
// save changes it, so two saves of one folder, in one process or in two,
// never interleave. The lock follows the folder through a rename and ends
// with the object (or the process).
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Done when the folder is locked. Never waits: a folder being saved is
    // Busy at once. On a file system without locks the folder counts as
    // locked. When not Done, the reason is what a refused save tells the user.
    Outcome tryLock(const QString& folder);
    void unlock();
    bool locked() const { return fFd >= 0; }

private:
    int fFd = -1;
};
