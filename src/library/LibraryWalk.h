#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Finds the album folders of a music library and tells whether one changed.
class LibraryWalk {
public:
    // Who an entry is on disk and what its music files look like: the
    // names, sizes and modification times of every music file, hashed.
    struct Identity {
        qint64 device = 0;
        qint64 inode = 0;
        QString fingerprint; // empty when the folder cannot be read
    };
    // One entry of the library: a folder holding music files, or a box set
    // whose disc subfolders hold them (each disc is then tagged as an album
    // of its own, and the set counts once).
    struct Entry {
        QString path;       // absolute, clean
        QStringList albums; // the folders to tag: the entry itself or its discs
        // As the walk found it; identify() tells what it is now.
        Identity identity;
        bool boxSet() const { return albums.size() > 1 || albums.value(0) != path; }
    };

    // The entries under `root` (the root itself included), sorted by path,
    // each with its identity: the walk looks at every music file while its
    // folder is open. Hidden folders and symbolic links to folders are not
    // entered.
    static QList<Entry> find(const QString& root);
    static Identity identify(const Entry& entry);
    // "CD 2", "Disc 1", "disk3", "2": a name a disc subfolder goes by.
    static bool isDiscName(const QString& name);
};
