#include "docs/FolderOpener.h"

#include "art/CoverFiles.h"
#include "docs/FolderRecovery.h"
#include "media/MusicFile.h"
#include "model/TrackInfo.h"
#include "save/RenameJournal.h"
#include "system/FolderHandle.h"
#include "system/ProgressIndicator.h"
#include "system/WorkSharing.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace FolderOpener {

namespace {

// From this many files on, a folder is read on every core.
constexpr size_t kFilesReadOnEveryCore = 32;

// Bytes outside printable ASCII as \xHH, so the user can see the name.
QString escapedName(const QByteArray& raw) {
    QString out;
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\')
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, u'0');
    }
    return out;
}

// Empty, truncated or not audio at all, whatever the name says: the others
// open without them, and the user learns which ones were left out.
void reportUnreadableFiles(const QStringList& names, const AlertSink& alert) {
    alert(names.size() == 1 ? QStringLiteral("Unreadable File")
                            : QStringLiteral("Unreadable Files"),
          unreadableMessage(names) + QStringLiteral(" They are left out."));
}

FolderListing listFolder(const QString& folder) {
    FolderListing listing;
    listing.folder = folder;
    // Raw bytes: a name that is not UTF-8 cannot be opened through a string,
    // so it is named to the user instead of vanishing from the album.
    // Whether the listing already says a name is a plain file spares the
    // others a look (a thousand-file folder, a thousand fewer stats).
    if (DIR* d = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* e = ::readdir(d)) {
            const QByteArray raw(e->d_name);
            if (raw == "." || raw == ".." || e->d_type == DT_DIR) continue;
            listing.leftBySave = listing.leftBySave || FolderHandle::isLeftBySave(raw);
            QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString name = utf8.decode(raw);
            if (!utf8.hasError()) {
                listing.entries.emplace_back(name, e->d_type == DT_REG);
                continue;
            }
            struct stat st;
            if (::lstat((QFile::encodeName(folder) + '/' + raw).constData(), &st) == 0 &&
                S_ISDIR(st.st_mode))
                continue;
            listing.undecodable << escapedName(raw);
        }
        ::closedir(d);
    }
    std::sort(listing.entries.begin(), listing.entries.end());
    std::sort(listing.undecodable.begin(), listing.undecodable.end());
    return listing;
}

} // namespace

FolderListing recoverAndList(const QString& folder, const AlertSink& alert) {
    // Nearly every folder holds nothing a save left: its one listing serves
    // both the recovery's question and the scan.
    FolderListing listing = listFolder(folder);
    if (!listing.leftBySave) return listing;
    const FolderRecovery::Result r = FolderRecovery::run(folder, RenameJournal::Scope::Folder);
    if (r.alert) alert(r.alert->title, r.alert->message);
    return listFolder(r.folder);
}

QString initialSearchString(const std::optional<CustomTag>& tag, const AlbumDetailsPtr& tags) {
    if (tag && !tag->savedSearchTerms().isNull()) return tag->savedSearchTerms();
    const QString artist = tags ? tags->artist() : QString();
    const QString album = tags ? tags->album() : QString();
    return QStringLiteral("%1 / %2").arg(artist, album);
}

void scanFiles(FolderOpening& opening, const FolderListing& listing, ProgressIndicator* sheet,
               const AlertSink& alert) {
    opening.folder = listing.folder;
    const QString& folder = opening.folder;
    const std::vector<std::pair<QString, bool>>& entries = listing.entries;
    const QStringList& undecodable = listing.undecodable;
    if (!undecodable.isEmpty()) {
        QStringList quoted;
        for (const QString& n : undecodable)
            quoted << QLatin1Char('"') + n + QLatin1Char('"');
        alert(QStringLiteral("Unreadable File Names"),
              QStringLiteral("%1 file name(s) in this folder are not valid UTF-8, so Trovix "
                             "cannot open those files and the album is incomplete: %2. "
                             "Rename them to include them.")
                  .arg(undecodable.size())
                  .arg(quoted.join(QStringLiteral(", "))));
    }
    QStringList& unreadable = opening.unreadable;
    // Asked once, not for each file: whether files may be written and removed here.
    const bool folderWritable = AudioTrack::folderWritable(folder);
    if (sheet) {
        sheet->NotifyBeginDet(QStringLiteral("Scanning files..."), 0, int(entries.size()) + 1,
                              true);
        sheet->NotifyBump(1);
    }
    // Reading is most of an opening, so a large folder's files are read on
    // every core and then taken in name order. A folder of an album or two
    // stays on this thread: a library run already keeps every core busy.
    std::vector<std::optional<AudioTrack>> read(entries.size());
    std::atomic<bool> stop{false};
    std::atomic<int> done{0};
    int bumped = 0;
    const std::thread::id caller = std::this_thread::get_id();
    const auto readOne = [&](size_t i) {
        if (stop.load(std::memory_order_relaxed)) return;
        const auto& [name, plainFile] = entries[i];
        const QString path = folder + u'/' + name;
        if (name != RenameJournal::kFileName &&
            (plainFile || (QFileInfo::exists(path) && !QFileInfo(path).isDir())))
            read[i] = AudioTrack::initWithPath(path, folderWritable);
        ++done;
        // The sheet belongs to this thread alone.
        if (sheet && std::this_thread::get_id() == caller) {
            const int now = done.load();
            sheet->NotifyBump(now - bumped);
            bumped = now;
            if (sheet->cancelled()) stop.store(true);
        }
    };
    if (entries.size() >= kFilesReadOnEveryCore)
        WorkSharing::forEachIndex(entries.size(), readOne);
    else
        for (size_t i = 0; i < entries.size(); ++i)
            readOne(i);
    if (sheet && done.load() > bumped) sheet->NotifyBump(done.load() - bumped);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!read[i]) continue;
        AudioTrack& track = *read[i];
        if (track.isValid()) {
            if (!opening.customTag && track.tags().custom) opening.customTag = track.tags().custom;
            // The row numbers the file-name template; a list that is never
            // reordered (clean-up only) is named by its scan order.
            track.setRow(uint32_t(opening.songs.count()));
            opening.songs.add(std::make_shared<AudioTrack>(std::move(track)));
        } else if (MusicFile::isMusicFileName(entries[i].first)) {
            unreadable << entries[i].first;
        }
    }
    if (!unreadable.isEmpty()) reportUnreadableFiles(unreadable, alert);
}

QString unreadableMessage(const QStringList& names) {
    QStringList quoted;
    for (const QString& name : names)
        quoted << u'"' + name + u'"';
    return names.size() == 1
               ? QStringLiteral("The file %1 could not be read as music.").arg(quoted.front())
               : QStringLiteral("These files could not be read as music: %1.")
                     .arg(quoted.join(QStringLiteral(", ")));
}

namespace {

// The hit of a pseudo-album with the folder's cover, found at `location`.
AlbumInfoPtr hitWithCover(const AlbumDetailsPtr& details, const QByteArray& cover,
                          const QString& location) {
    AlbumInfoPtr hit = details ? AlbumInfo::fromDetails(*details) : nullptr;
    if (!hit || cover.isEmpty()) return hit;
    hit->setCoverArtData(cover);
    hit->setCoverArtLocation(location);
    return hit;
}

} // namespace

FolderCover findFolderCover(const AudioTrackArray& songs) {
    for (const AudioTrackRef& track : songs) {
        if (!track->hasImage()) continue;
        const QByteArray bytes = track->getImageData();
        // A damaged picture costs only itself: the next one is tried.
        if (CoverFiles::storedSize(bytes).isValid()) return {bytes, track->getPath()};
    }
    return {};
}

void createAlbumHits(FolderOpening& opening, const FolderCover& cover, bool smartCap) {
    const std::optional<CustomTag>& tag = opening.customTag;
    // The two read the records and nothing else: one core each.
    WorkSharing::forEachIndex(2, [&opening, &tag, smartCap](size_t i) {
        if (i == 0)
            opening.detailsFromTags =
                AlbumDetails::AlbumDetailsFromTags(opening.songs, tag ? &*tag : nullptr, smartCap);
        else
            opening.detailsFromFiles = AlbumDetails::AlbumDetailsFromFiles(opening.songs);
    });
    opening.infoFromTags =
        hitWithCover(opening.detailsFromTags, cover.bytes, TrackInfo::kTagLocation);
    opening.infoFromFiles = hitWithCover(opening.detailsFromFiles, cover.bytes, cover.path);
}

} // namespace FolderOpener
