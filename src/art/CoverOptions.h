#pragma once

#include <QString>

// The cover-art settings of one operation, read once where it starts
// (Prefs::coverOptions) and passed down; the defaults are the preferences'.
struct CoverOptions {
    bool search = true;      // take covers from hits and look-ups
    bool embed = true;       // into every file's tags
    bool saveToFile = false; // as "<fileName>.jpg" in the folder
    QString fileName = QStringLiteral("Cover Art");
    bool resize = false;
    int resizePixels = 160;
    int resizeOption = 0; // 1 only enlarge, 2 only shrink
};
