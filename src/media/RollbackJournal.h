#pragma once

#include "media/SavePlan.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The rollback copies of one save's in-place writes: for every file, the
// bytes about to be overwritten, the bytes that replace them and its old
// size, in one hidden file in the folder (".trovix-rollback-<pid>-<n>.journal")
// that ends in a checksum. It is complete and on disk before the first byte
// is overwritten, and held locked while the save runs; a journal nobody
// holds was left by a save that did not finish, and recover() puts back the
// old bytes of every file it finds torn.
class RollbackJournal {
public:
    RollbackJournal() = default;
    ~RollbackJournal();
    RollbackJournal(const RollbackJournal&) = delete;
    RollbackJournal& operator=(const RollbackJournal&) = delete;

    // Writes the rollback copies of these in-place plans into `folder` and
    // syncs them, once. Called again (the next group of a save, once the
    // writes the journal covers are on disk), it writes over them.
    bool write(const QString& folder, const std::vector<const SavePlan*>& plans, QString* why);
    // Once the writes it covers are on disk.
    void remove();
    // Leaves it on disk, no longer held, for recovery to finish: some file
    // it covers could not be put back.
    void keep();
    bool isOpen() const { return fFd >= 0; }

    // Finishes the journals no running save holds: a file that holds all of
    // its new bytes keeps them, any other gets its old bytes and size back.
    // The names of the files put back.
    static QStringList recover(const QString& folder);

private:
    QByteArray fPath;
    int fFd = -1;
};
