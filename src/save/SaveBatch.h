#pragma once

#include "save/RollbackJournal.h"
#include "system/Outcome.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class FolderHandle;
class MusicFile;

// Writes the tags of the music files of one folder as one durable step:
// rollback copies of every in-place write go into journals in the folder,
// synced before anything is overwritten; then every file is written, synced
// once, verified, and the journals dropped. A file whose write or check
// fails keeps its old content.
//
// In detail, for each group of files (a thousand, a few hundred new copies,
// or 32 MB of rollback copies, so that a large folder does not hold all of
// it in memory):
//  1. plan: each file decides between an in-place write (the bytes it will
//     overwrite, its old size) and a whole-file rewrite, or refuses;
//  2. the rollback copies of every in-place write go into a journal, which
//     is synced, with its folder, before any byte is overwritten (a later
//     group writes over the copies of the one before, whose files are on
//     disk by then);
//  3. the files are written: in place, or a new hidden copy beside them;
//  4. every written file is checked (its new tags read back or parsed, its
//     audio compared by hashes of a few pieces), the last ones while one
//     sync for all of them (syncfs, or fdatasync of each of a few) runs on a
//     thread of its own; a file that fails gets its old bytes back, a copy
//     that fails is removed;
//  5. a file whose sync failed is put back too;
//  6. the new copies replace their files, and their folders are synced;
//  7. after the last group, the journals are removed.
// Steps 2 to 4 run while the group is planned: each chunk of planned files
// (256) gets a journal of its own and is written, each file's write-back
// started at once, as the cores plan the next; each file planned is
// followed by the check of one written. The disk thus works through the
// group as it is planned, and the sync waits for the last chunk alone. A
// save of no more files than a chunk is written once it is planned, on the
// thread that called, as one chunk.
// SaveSteps::step() is announced before each step that changes the disk:
// "tags-journal", "tags-write", "tags-copy", "tags-restore", "tags-sync"
// (once the check is done, as the save waits for the sync), "tags-replace",
// "tags-journal-remove".
class SaveBatch {
public:
    // How much one group may hold. Each group pays two syncs, so groups are
    // large; whole-file copies keep a descriptor open until they replace
    // their files, so there are fewer of those to a group.
    struct GroupLimits {
        size_t files = 1024;
        size_t copies = 256;
        qsizetype bytes = 32 << 20; // rollback copies and new tags
        size_t chunk = 256;         // files journaled and written at once
    };

    explicit SaveBatch(const QString& folder);
    SaveBatch(const QString& folder, GroupLimits limits);
    ~SaveBatch();
    SaveBatch(const SaveBatch&) = delete;
    SaveBatch& operator=(const SaveBatch&) = delete;

    // A file whose tags were changed in memory; `prepare`, when given,
    // changes more of them just before its write is planned, on the thread
    // that plans it (what reads the file, such as comparing its picture
    // with a new cover, then finds it fresh in the caches).
    void add(MusicFile* file, std::function<void()> prepare = {});
    // A file made by `open` just before its write is planned, on the thread
    // that plans it: a file object of its own with its new tags set, or
    // null when the file cannot be read again, which fails it. So the files
    // are read as the first are written, not all before.
    void add(std::function<MusicFile*()> open);

    // Writes every file added; one outcome per file, in order: Done, Failed
    // (the file keeps its old content; the reason says why) or Stopped.
    // `stop` is asked between files: once it says yes, the rest are left as
    // they are. `progress` is told the index of each file done. Both may be
    // called from other threads than the caller's, never two at a time.
    std::vector<Outcome> commit(const std::function<bool()>& stop = {},
                                const std::function<void(int)>& progress = {});
    // After commit, whether each file was written: its bytes changed in
    // place or its new copy put in its place. A file with nothing to
    // change is Done without being opened for writing.
    const std::vector<bool>& written() const { return fWritten; }

    // Writes one file whose tags were changed in memory, as a batch of one
    // in its own folder. A failure is reported, never taken for a save.
    static Outcome saveOne(MusicFile& file);

    // On opening a folder: puts back the old bytes of the in-place writes a
    // killed save left unfinished, and removes temporary copies that no
    // living process owns, acting only on regular files of that folder.
    // Names the music files whose save was undone, and what was refused.
    static RecoveryReport recover(const FolderHandle& folder);
    static RecoveryReport recover(const QString& folder);

private:
    QString fFolder;
    GroupLimits fLimits;
    std::vector<std::function<MusicFile*()>> fOpen; // one per file
    std::vector<bool> fWritten;
};
