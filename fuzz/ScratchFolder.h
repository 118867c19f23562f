#pragma once
// Where a fuzzer writes the files it feeds to the code under test.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A folder of this process's own under the temporary folder. libFuzzer ends
// a timed run with exit(), which removes it; after a crash it stays, beside
// the crash's input.
inline QString scratchFolder() {
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/trovix-fuzz-XXXXXX"));
    return folder.path();
}
