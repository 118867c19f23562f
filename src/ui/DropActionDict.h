#pragma once

#include <QString>

// What an opener hands a new document one second after its window shows:
// the absolute path of the file or folder, and whether to open it in
// clean-up-only mode (no web look-up).
struct DropActionDict {
    QString path;
    bool cleanUp = false;
};
