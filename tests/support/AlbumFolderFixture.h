#pragma once

#include "tags/CustomTag.h"

#include <QString>
#include <QTemporaryDir>

#include <optional>

// One file of a test album folder and the tags written into it.
struct FixtureTrack {
    QString fileName; // ".mp3" or ".m4a"
    QString title;
    QString artist;
    QString album;
    int track = 0;
    int of = 0;
    QString year;
    QString genre;
    std::optional<CustomTag> customTag; // MP3 only
    int seconds = 0;                    // MP3 only; 0 for the short default
};

// A temporary album folder of real MP3 and M4A files with the given tags.
class AlbumFolderFixture {
public:
    AlbumFolderFixture();
    bool isValid() const { return fDir.isValid(); }
    // The album folder (a sub-folder of the temporary one, so its name can
    // be chosen).
    QString path() const { return fPath; }
    bool setFolderName(const QString& name);
    // Writes the file; false when it could not be made or tagged.
    bool add(const FixtureTrack& track);

private:
    QTemporaryDir fDir;
    QString fPath;
};
