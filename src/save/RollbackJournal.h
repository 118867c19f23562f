#pragma once

#include "media/Digest.h"
#include "media/SavePlan.h"
#include "system/FolderHandle.h"
#include "system/Outcome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// What recovery did on opening a folder, and what it would not do.
struct RecoveryReport {
    QStringList restored; // music files put back as they were
    QStringList refused;  // for the user: what was left in place, and why

    void add(const RecoveryReport& other) {
        for (const QString& name : other.restored)
            if (!restored.contains(name)) restored << name;
        refused += other.refused;
    }
};

// The rollback copies of one save's in-place writes: for every file, the
// bytes about to be overwritten, the bytes that replace them and its old
// size, in one hidden file in the folder that holds the files
// (".trovix-rollback3-<pid>-<n>.journal") that ends in a checksum. Files
// are named by their plain names in that folder. It is complete and on disk
// before the first byte is overwritten, and held locked while the save
// runs; a journal nobody holds was left by a save that did not finish, and
// recover() puts back the old bytes of every file it finds torn.
//
// A journal found in a folder is input like any file there: recovery
// changes only regular files of that folder, reached by name from the
// folder's descriptor, that are still the files saved, and only when their
// bytes prove the torn write.
class RollbackJournal {
public:
    RollbackJournal() = default;
    ~RollbackJournal();
    RollbackJournal(const RollbackJournal&) = delete;
    RollbackJournal& operator=(const RollbackJournal&) = delete;

    // Writes the rollback copies of these in-place plans, whose targets all
    // lie in `folder`, into `folder` and syncs them, once. Called again (the
    // next group of a save, once the writes the journal covers are on disk),
    // it writes over them.
    Outcome write(const QString& folder, const std::vector<const SavePlan*>& plans);
    // Once the writes it covers are on disk.
    void remove();
    // Leaves it on disk, no longer held, for recovery to finish: some file
    // it covers could not be put back.
    void keep();
    bool isOpen() const { return fFd >= 0; }
    // Readies what writing a journal of kPreparedFrom bytes or more needs
    // (libcrypto, for its hash), for a save to do on another thread while
    // it plans the writes the journal covers.
    static void prepare();
    static constexpr qsizetype kPreparedFrom = qsizetype(Digest::kLibcryptoFrom);

    // Finishes the journals of `folder` that no running save holds: a file
    // that holds all of its new bytes keeps them, a torn one gets its old
    // bytes and size back. A journal is removed once every file it names is
    // settled; one naming anything else is kept and reported.
    static RecoveryReport recover(const FolderHandle& folder);
    // Recovery of one journal's bytes, named `name`, found in `folder`.
    // True when it is settled and may go. Apart for the fuzzer.
    static bool finishJournal(const FolderHandle& folder, const QByteArray& name,
                              const QByteArray& bytes, RecoveryReport* report);

private:
    FolderHandle fFolder;
    QByteArray fName;
    int fFd = -1;
};
