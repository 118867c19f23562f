#pragma once

#include "art/CoverOptions.h"
#include "model/NamingOptions.h"

#include <QString>

// The settings a save uses, read once on the main thread when it starts, so
// a preference changed meanwhile cannot change it halfway.
struct SaveOptions {
    int tagVersion = 3; // "TagVersion": 2 writes ID3v2.3, 3 ID3v2.4
    bool renameTracks = false;
    bool renameFolder = false;
    bool backup = false;
    NamingOptions naming;
    CoverOptions cover;
    QString homePage; // named by the custom tag

    static SaveOptions fromPrefs();
};
