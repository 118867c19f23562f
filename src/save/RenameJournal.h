#pragma once

#include "system/FolderHandle.h"
#include "system/Outcome.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>
#include <vector>

// One file of a rename plan: its three names, and its identity, so a file
// is found whichever of them it holds after a crash.
struct RenameEntry {
    QString oldName;
    QString tempName;
    QString newName;
    dev_t device = 0;
    ino_t inode = 0;
};

// Every move a save will make in one folder, decided before the first one.
struct RenamePlan {
    QList<RenameEntry> files;
    // Both null when the folder keeps its name.
    QString oldFolderName;
    QString newFolderName;
    // Read from a journal: the folder it was written in (0 when the journal
    // does not say). Written from the folder itself.
    dev_t folderDevice = 0;
    ino_t folderInode = 0;
};

// Where one file of a plan ended up; done when it reached the name it was
// sent to.
struct RenamedFile {
    QString finalName;
    Outcome outcome;
};

// The journal of a save's renames: the plan, written durably into the
// folder before the first move and removed once the last move is on disk.
// A folder that still holds one was left by an interrupted save; opening it
// finishes the plan. The journal is written only once every tag is written,
// so finishing means moving forward to the new names.
//
// A journal found in a folder is input like any file there: it is read only
// when it is a regular file of a bounded size, names plain names of the
// folder (never one of the names saves keep for themselves), moves only the
// regular files it recorded, and renames the folder only under the rules of
// finish().
class RenameJournal {
public:
    static inline const QString kFileName = QStringLiteral(".trovix-renames");
    // A plan is some hundred bytes a file: a few megabytes are ten thousands
    // of files.
    static constexpr qint64 kLargest = 4 << 20;

    enum class Direction { Forward, Back };
    // What opened the folder: a single file's document never renames it.
    enum class Scope { Folder, SingleFile };

    // temp + fsync + rename + fsync of the folder: the journal is whole or
    // absent. It records the folder's device and inode.
    static Outcome write(const FolderHandle& folder, const RenamePlan& plan);
    // A journal's plan; failed (with the reason) unless it is one a save
    // wrote.
    struct Read {
        RenamePlan plan;
        Outcome outcome;
    };
    static Read read(const FolderHandle& folder);
    static Read parse(const QByteArray& bytes);
    static Outcome remove(const FolderHandle& folder);

    // Moves every file of the plan to its new (Forward) or old (Back) name:
    // first each to its temporary name, then each to its final one, so
    // files may exchange names. Only a regular file that is the one the
    // plan recorded moves. `stop` is asked before each move; once it says
    // yes, nothing more moves and `stopped` is set. The folder is synced at
    // the end. One outcome per file, in plan order.
    static std::vector<RenamedFile> carryOut(const FolderHandle& folder, const RenamePlan& plan,
                                               Direction direction,
                                               const std::function<bool()>& stop = {},
                                               bool* stopped = nullptr);

    // The rename phase of a save: the journal, the moves, `afterMoves` (told
    // whether every file reached its new name; it renames the folder and
    // answers where the folder is now), then the journal removed. A stop
    // puts every file back under its old name. Without a journal nothing
    // moves.
    struct Run {
        std::vector<RenamedFile> outcomes;
        bool stopped = false;
        QString folder;
    };
    static Run run(const QString& folder, const RenamePlan& plan, const std::function<bool()>& stop,
                   const std::function<QString(bool allMoved)>& afterMoves);

    // What finishing a left journal did.
    struct Recovery {
        bool found = false;
        QString folder;    // where the folder is now (renamed when the plan says so)
        QStringList moved; // "OLD" → "NEW" lines for the user
        QStringList problems;
        bool refused = false; // something the journal asked was not done
        // The old and the temporary name of every file of the plan → the
        // name it has now.
        QHash<QString, QString> names;
    };
    // Finishes the plan of a journal left in `folder` (opened from `path`),
    // then removes the journal. The folder is renamed only when the scope
    // is a folder, every file of the plan reached its name and at least one
    // of them is the file the plan recorded, the folder is the one the
    // journal was written in, and the new name is a plain, visible name.
    // The caller holds the folder's lock.
    static Recovery finish(const FolderHandle& folder, const QString& path, Scope scope);
};
