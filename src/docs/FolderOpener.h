#pragma once

#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "system/Picture.h"
#include "tags/CustomTag.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ProgressIndicator;

// The worker's steps of opening an album folder. They touch no document
// state: they fill a FolderOpening, which the document applies on the main
// thread in one step.
namespace FolderOpener {

// What an opening gathered on the worker.
struct FolderOpening {
    QString folder; // where the folder is after finishing an interrupted save
    AudioTrackArray songs;
    std::optional<CustomTag> customTag;
    QStringList unreadable;
    AlbumDetailsPtr detailsFromTags;
    AlbumDetailsPtr detailsFromFiles;
    AlbumInfoPtr infoFromTags;
    AlbumInfoPtr infoFromFiles;
    QString lastSearch; // null when the scan was cancelled
};

// The first picture in the files' tags that decodes, decoded once for both
// folder hits.
struct FolderCover {
    Picture image;
    QByteArray bytes;
    QString path; // of the file whose tags hold it
};

// An "OK" alert for the user (title, message); callable from a worker.
using AlertSink = std::function<void(const QString&, const QString&)>;

// Before the scan: finishes what an interrupted save left (rollback bytes, a
// rename journal) and tells the user; answers where the folder is now.
// Skipped while another save holds the folder.
QString recoverFolder(const QString& folder, const AlertSink& alert);
// Lists the folder's music files; names that are not UTF-8, and files that
// do not read as music, are named in an alert.
void scanFiles(FolderOpening& opening, ProgressIndicator* sheet, const AlertSink& alert);
FolderCover findFolderCover(const AudioTrackArray& songs);
void createAlbumHits(FolderOpening& opening, const FolderCover& cover, bool smartCap);
// The saved search terms, else "artist / album" from the tags.
QString initialSearchString(const std::optional<CustomTag>& tag, const AlbumDetailsPtr& tags);
QString unreadableMessage(const QStringList& names);

} // namespace FolderOpener
