#pragma once

#include "docs/BoxSet.h"
#include "docs/HitTable.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "tags/TagValues.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a folder document edits: its records, the album fields, the boxes,
// the hits and the box set. Owned by the document and by the main thread;
// the document's collaborators reach it through FolderContext::state(),
// workers get copies when they start and hand back values.
struct FolderState {
    AudioTrackArray songs;
    QList<qsizetype> selectedTracks; // ascending rows; the view mirrors it
    QStringList unreadableFiles;     // music-named files the last scan could not open

    TagValues albumFields; // artist, album, genre, year
    bool lockAlbumInfo = false;
    bool variousArtists = false;
    bool reverseArtistTitle = false;
    QString lastSearch;

    HitTable hitTable;
    AlbumDetailsPtr currentAlbumDetails;
    // The folder's own hits, from its tags and its file names.
    AlbumDetailsPtr detailsFromTags;
    AlbumDetailsPtr detailsFromFiles;
    AlbumInfoPtr infoFromTags;
    AlbumInfoPtr infoFromFiles;

    BoxSet boxSet;
    QString multiCDRubric;

    bool trackSelected(qsizetype row) const { return selectedTracks.contains(row); }
};
