#pragma once

#include <QString>

// The settings a save uses, read once on the main thread when it starts, so
// a preference changed meanwhile cannot change it halfway.
struct SaveOptions {
    int tagVersion = 3; // "TagVersion": 2 writes ID3v2.3, 3 ID3v2.4
    bool renameTracks = false;
    bool renameFolder = false;
    bool backup = false;
    bool embedCover = true;
    bool saveCoverToFile = false;
    QString coverFileName;

    static SaveOptions fromPrefs();
};
