#pragma once

#include "system/Outcome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

#include <vector>

// One folder, opened once, and the files in it reached by plain name from
// that descriptor (openat, renameat, unlinkat), never through a symbolic
// link: whatever is done through it stays inside the folder, even when a
// name is swapped for a link meanwhile or the folder is moved.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder at `path`; a link in its place is refused (ELOOP).
    bool open(const QString& path);
    void close();
    bool isOpen() const { return fFd >= 0; }
    int fd() const { return fFd; }
    // The folder as it was when opened.
    dev_t device() const { return fStat.st_dev; }
    ino_t inode() const { return fStat.st_ino; }
    bool is(dev_t device, ino_t inode) const {
        return isOpen() && fStat.st_dev == device && fStat.st_ino == inode;
    }

    // A regular file of the folder, opened with `flags` (O_CREAT not
    // allowed) and never blocking on a FIFO; its status in *st. -1 with
    // errno: ELOOP for a link, EINVAL for anything but a regular file,
    // ENAMETOOLONG for a name that is not plain.
    int openFile(QByteArrayView name, int flags, struct stat* st = nullptr) const;
    // A new file of that name, never replacing anything.
    int createFile(QByteArrayView name, int flags, mode_t mode) const;
    // What the name itself is (a link is not followed).
    bool statAt(QByteArrayView name, struct stat* st) const;
    bool remove(QByteArrayView name) const;
    Outcome move(QByteArrayView from, QByteArrayView to) const;
    bool sync() const;
    // Every name in the folder but "." and "..".
    std::vector<QByteArray> names() const;

    // A name of an entry inside one folder: not empty, not "." or "..", no
    // '/', no control characters, at most 255 bytes.
    static bool isPlainName(QByteArrayView name);
    // The names saves give their own files (journals, temporary copies and
    // names) and the backups folder: no journal may send a file there.
    static bool isReservedName(QByteArrayView name);
    // A name a save gives its own files (journals, temporary copies).
    static bool isLeftBySave(QByteArrayView name);
    // Why an openFile() failed, for the user.
    static QString whyNot(int error);

private:
    int fFd = -1;
    struct stat fStat {};
};
