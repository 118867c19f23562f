#pragma once

#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "tags/CustomTag.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

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

// The first picture in the files' tags whose header states its size, for
// both folder hits. Only the header is read: the pixels are decoded when
// the cover is shown or scaled, so an opening that never shows it (the
// command line, a library run) never decodes it.
struct FolderCover {
    QByteArray bytes;
    QString path; // of the file whose tags hold it
};

// An "OK" alert for the user (title, message); callable from a worker.
using AlertSink = std::function<void(const QString&, const QString&)>;

// A folder's entries, read once: each name with whether the listing already
// says it is a plain file (sorted), and the names that are not UTF-8 (shown
// escaped, sorted).
struct FolderListing {
    QString folder; // where the folder is after finishing an interrupted save
    std::vector<std::pair<QString, bool>> entries;
    QStringList undecodable;
    bool leftBySave = false; // a journal or a temporary copy of a save
};

// Lists the folder. When a save left something there, first finishes what it
// left (rollback bytes, a rename journal), tells the user, and lists the
// folder where it is now; skipped while another save holds the folder.
FolderListing recoverAndList(const QString& folder, const AlertSink& alert);
// Reads the listed music files; names that are not UTF-8, and files that do
// not read as music, are named in an alert.
void scanFiles(FolderOpening& opening, const FolderListing& listing, ProgressIndicator* sheet,
               const AlertSink& alert);
FolderCover findFolderCover(const AudioTrackArray& songs);
void createAlbumHits(FolderOpening& opening, const FolderCover& cover, bool smartCap);
// The saved search terms, else "artist / album" from the tags.
QString initialSearchString(const std::optional<CustomTag>& tag, const AlbumDetailsPtr& tags);
QString unreadableMessage(const QStringList& names);

} // namespace FolderOpener
