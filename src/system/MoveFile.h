#pragma once

#include <QString>

// Moving a file within one file system without ever replacing what is at the
// target: a name that appears between a caller's check and the move is left
// alone and reported as taken.
struct MoveResult {
    enum class Code {
        Moved,
        TargetExists, // something is already at the target; nothing moved
        Failed,       // the system refused; nothing moved
    };
    Code code = Code::Failed;
    QString error; // the system's reason, for Failed

    bool ok() const { return code == Code::Moved; }
};

// An exclusive rename (renameat2 with RENAME_NOREPLACE). File systems that
// cannot do that get link() then unlink(), which is exclusive too; only where
// neither works is the target checked just before a plain rename.
MoveResult moveWithoutReplacing(const QString& from, const QString& to);
// The same, with each name relative to a folder's descriptor (AT_FDCWD for
// the working folder); a link at `from` is moved itself, never followed.
MoveResult moveWithoutReplacingAt(int fromFolder, const char* from, int toFolder, const char* to);

// Whether anything (file, folder, even a dangling link) is at the path.
bool pathExists(const QString& path);
