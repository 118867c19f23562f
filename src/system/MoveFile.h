#pragma once

#include "system/Outcome.h"

#include <QString>

// Moving a file within one file system without ever replacing what is at the
// target: a name that appears between a caller's check and the move is left
// alone and reported as taken (Exists). Failed carries the system's reason;
// nothing moved then either.
//
// An exclusive rename (renameat2 with RENAME_NOREPLACE). File systems that
// cannot do that get link() then unlink(), which is exclusive too; only where
// neither works is the target checked just before a plain rename.
Outcome moveWithoutReplacing(const QString& from, const QString& to);
// The same, with each name relative to a folder's descriptor (AT_FDCWD for
// the working folder); a link at `from` is moved itself, never followed.
Outcome moveWithoutReplacingAt(int fromFolder, const char* from, int toFolder, const char* to);

// Whether anything (file, folder, even a dangling link) is at the path.
bool pathExists(const QString& path);
