#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "art/CoverFiles.h"
#include "docs/DocumentHost.h"
#include "docs/FolderRecovery.h"
#include "docs/FolderTagThread.h"
#include "media/MusicFile.h"
#include "model/ScoreRules.h"
#include "model/TrackInfo.h"
#include "prefs/PrefsOptions.h"
#include "save/RenameJournal.h"
#include "save/SaveBatch.h"
#include "system/FileSystemParams.h"
#include "system/FolderLock.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "text/SearchString.h"
#include "web/sources/ResultKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <functional>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

TrovixDocument::TrovixDocument(DocumentHost* host, QObject* parent)
    : DocumentBase(host, parent), fNaming(Prefs::namingOptions()) {}

TrovixDocument::~TrovixDocument() {
    joinWorker();
    // The stack's last signals would reach a window that is letting go of us.
    fUndoStack.blockSignals(true);
}

namespace {

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

} // namespace

// Opening and identity -----------------------------------------------------

void TrovixDocument::setDocumentPath(const QString& path, bool cleanUpOnly) {
    fCleanUpOnly = cleanUpOnly;
    if (path.isEmpty() || !QFileInfo(path).isDir()) return;
    // An open or look-up still running ends first; its end runs on this
    // (the main) thread, so merely waiting for idle would never return.
    waitUntilIdle();
    {
        assertOwner();
        fDocPath = QDir::cleanPath(path);
    }
    fAlbumArtObj->searchForImages(fDocPath);
    fUndoStack.clear();
    fLock.enter(BusyState::Opening);
    startOperation(true);
}

void TrovixDocument::createWorker(ProgressIndicator* sheet, bool cleanUpOnly) {
    fWorker = std::make_shared<FolderTagThread>(sheet, cleanUpOnly, fSources);
    fWorker->setOneSearchPerSource(fThriftyLookups);
}

int TrovixDocument::alternate() const {
    return fVariousArtists ? AudioTrack::kVariousArtists : 0;
}

// Workers --------------------------------------------------------------------

LookupWorker* TrovixDocument::currentWorker() const {
    return fWorker.get();
}

void TrovixDocument::typingIdle() {
    if (fHost) fHost->reloadTracks();
}

// Album fields ---------------------------------------------------------------

QString TrovixDocument::albumField(TagField which) const {
    assertOwner();
    return fAlbumFields.text(which);
}

// Each field's keystrokes in a row undo as one step. Typing in the artist
// or album field rebuilds the search terms.
void TrovixDocument::setAlbumField(TagField which, const QString& text) {
    recordEdit(
        QStringLiteral("Typing"),
        [&] {
            assertOwner();
            fAlbumFields.setText(which, text.isNull() ? QString(u""_qs) : text);
        },
        int(which));
    if (which == TagField::Artist || which == TagField::Album)
        controlTextDidChange();
    else
        markEdited();
}

void TrovixDocument::setLockAlbumInfo(bool on) {
    recordEdit(QStringLiteral("Lock Album Info"), [&] { fLockAlbumInfo = on; });
}

void TrovixDocument::setVariousArtists(bool on) {
    if (refuseWhileBusy() || on == fVariousArtists) return;
    recordEdit(QStringLiteral("Various Artists"), [&] {
        fVariousArtists = on;
        variousArtistsClicked();
    });
}

void TrovixDocument::setReverseArtistTitle(bool on) {
    if (refuseWhileBusy() || !fVariousArtists || on == fReverseArtistTitle) return;
    recordEdit(QStringLiteral("Title First"), [&] {
        fReverseArtistTitle = on;
        reverseArtistAndTitleClicked();
    });
}

QString TrovixDocument::lastSearch() const {
    assertOwner();
    return fLastSearch;
}

void TrovixDocument::controlTextDidChange() {
    setSearchTerms(BuildSearchString(artistField(), albumField()));
    markEdited();
    bumpKeyHit();
}

void TrovixDocument::prefsChanged() {
    fNaming = Prefs::namingOptions();
    notifyTracksChanged();
    markEdited();
    syncWindowTitle();
}

// Look-up --------------------------------------------------------------------

void TrovixDocument::mainLookup() {
    setSearchTerms(BuildSearchString(artistField(), albumField()));
    lookupCommon();
}

void TrovixDocument::lookupCommon() {
    if (!fLock.tryEnter(BusyState::LookingUp)) return;
    fCleanUpOnly = false;
    startOperation(false);
}

ScoreWeights TrovixDocument::scoreWeights(const QString& terms) const {
    const AlbumDetailsPtr& tags = fAlbumDetailsFromTags;
    return ScoreRules::folderSearch(terms, tags ? tags->genre() : QString(),
                                    tags ? tags->year() : QString());
}

QString TrovixDocument::getInitialSearchString() const {
    return initialSearchString(fCustomTag, fAlbumDetailsFromTags);
}

QString TrovixDocument::initialSearchString(const std::optional<CustomTag>& tag,
                                            const AlbumDetailsPtr& tags) {
    if (tag && !tag->savedSearchTerms().isNull()) return tag->savedSearchTerms();
    const QString artist = tags ? tags->artist() : QString();
    const QString album = tags ? tags->album() : QString();
    return QStringLiteral("%1 / %2").arg(artist, album);
}

void TrovixDocument::scanFiles(FolderOpening& opening) {
    const QString& folder = opening.folder;
    // Raw bytes: a name that is not UTF-8 cannot be opened through a string,
    // so it is named to the user instead of vanishing from the album.
    // Each name with whether the listing already says it is a plain file, so
    // that only the others cost a look (a thousand-file folder, a thousand
    // fewer stats).
    std::vector<std::pair<QString, bool>> entries;
    QStringList undecodable;
    if (DIR* d = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* e = ::readdir(d)) {
            const QByteArray raw(e->d_name);
            if (raw == "." || raw == ".." || e->d_type == DT_DIR) continue;
            QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString name = utf8.decode(raw);
            if (!utf8.hasError()) {
                entries.emplace_back(name, e->d_type == DT_REG);
                continue;
            }
            struct stat st;
            if (::lstat((QFile::encodeName(folder) + '/' + raw).constData(), &st) == 0 &&
                S_ISDIR(st.st_mode))
                continue;
            undecodable << escapedName(raw);
        }
        ::closedir(d);
    }
    std::sort(entries.begin(), entries.end());
    std::sort(undecodable.begin(), undecodable.end());
    if (!undecodable.isEmpty()) {
        QStringList quoted;
        for (const QString& n : undecodable)
            quoted << QLatin1Char('"') + n + QLatin1Char('"');
        postAlert(QStringLiteral("Unreadable File Names"),
                  QStringLiteral("%1 file name(s) in this folder are not valid UTF-8, so Trovix "
                                 "cannot open those files and the album is incomplete: %2. "
                                 "Rename them to include them.")
                      .arg(undecodable.size())
                      .arg(quoted.join(QStringLiteral(", "))));
    }
    QStringList& unreadable = opening.unreadable;
    // Asked once, not for each file: whether files may be written and removed here.
    const bool folderWritable = ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
    ProgressIndicator* sheet = progress();
    if (sheet) {
        sheet->NotifyBeginDet(QStringLiteral("Scanning files..."), 0, int(entries.size()) + 1,
                              true);
        sheet->NotifyBump(1);
    }
    for (const auto& [name, plainFile] : entries) {
        if (sheet && sheet->cancelled()) break;
        const QString path = folder + u'/' + name;
        if (name != RenameJournal::kFileName &&
            (plainFile || (QFileInfo::exists(path) && !QFileInfo(path).isDir()))) {
            AudioTrack track = AudioTrack::initWithPath(path, folderWritable);
            if (track.isValid()) {
                if (!opening.customTag && track.tags().custom)
                    opening.customTag = track.tags().custom;
                // The row numbers the file-name template; a list that is never
                // reordered (clean-up only) is named by its scan order.
                track.setRow(uint32_t(opening.songs.count()));
                opening.songs.add(std::make_shared<AudioTrack>(std::move(track)));
            } else if (MusicFile::isMusicFileName(name)) {
                unreadable << name;
            }
        }
        if (sheet) sheet->NotifyBump(1);
    }
    if (!unreadable.isEmpty()) reportUnreadableFiles(unreadable);
}

// Empty, truncated or not audio at all, whatever the name says: the others
// open without them, and the user learns which ones were left out.
void TrovixDocument::reportUnreadableFiles(const QStringList& names) {
    postAlert(names.size() == 1 ? QStringLiteral("Unreadable File")
                                : QStringLiteral("Unreadable Files"),
              unreadableMessage(names) + QStringLiteral(" They are left out."));
}

QString TrovixDocument::unreadableMessage(const QStringList& names) {
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
AlbumInfoPtr hitWithCover(const AlbumDetailsPtr& details, const QImage& image,
                          const QByteArray& bytes, const QString& location) {
    AlbumInfoPtr hit = details ? AlbumInfo::fromDetails(*details) : nullptr;
    if (!hit || image.isNull()) return hit;
    hit->setCoverArt(image);
    hit->setCoverArtData(bytes);
    hit->setCoverArtLocation(location);
    return hit;
}

} // namespace

TrovixDocument::FolderCover TrovixDocument::findFolderCover(const AudioTrackArray& songs) {
    for (const AudioTrackRef& track : songs) {
        if (!track->hasImage()) continue;
        const QByteArray bytes = track->getImageData();
        // A damaged picture costs only itself: the next one is tried.
        const QImage image = CoverFiles::decodedImage(bytes);
        if (!image.isNull()) return {image, bytes, track->getPath()};
    }
    return {};
}

void TrovixDocument::createAlbumHits(FolderOpening& opening, const FolderCover& cover,
                                     bool smartCap) {
    const std::optional<CustomTag>& tag = opening.customTag;
    opening.detailsFromTags =
        AlbumDetails::AlbumDetailsFromTags(opening.songs, tag ? &*tag : nullptr, smartCap);
    opening.infoFromTags =
        hitWithCover(opening.detailsFromTags, cover.image, cover.bytes, TrackInfo::kTagLocation);
    opening.detailsFromFiles = AlbumDetails::AlbumDetailsFromFiles(opening.songs);
    opening.infoFromFiles =
        hitWithCover(opening.detailsFromFiles, cover.image, cover.bytes, cover.path);
}

namespace {

// A custom tag naming a hit of some source; the folder's own hits are no
// search to run again.
bool hasSavedSearch(const std::optional<CustomTag>& tag) {
    return tag && ResultKeys::sourceOfKey(tag->resultKey());
}

// The release identifier and disc most files carry.
TagValues folderIdentifiers(const AudioTrackArray& songs) {
    TagValues ids;
    for (const TagField field : {TagField::MBReleaseId, TagField::Disc, TagField::DiscCount})
        ids.setText(field, AlbumDetails::guessWithSel(songs, field));
    return ids;
}

// The worker scores and completes the hits of its list in place, while the
// window reads the document's own tag hit for the status letters: the list
// gets a copy.
AlbumInfoPtr pseudoHit(const AlbumInfoPtr& hit) {
    return hit ? hit->copy() : nullptr;
}

} // namespace

QString TrovixDocument::recoverFolder(const QString& folder) {
    const FolderRecovery::Result r = FolderRecovery::run(folder, RenameJournal::Scope::Folder);
    if (r.alert) postAlert(r.alert->title, r.alert->message);
    return r.folder;
}

DocumentBase::JobBody TrovixDocument::openJob() {
    const QString folder = fDocPath;
    const std::shared_ptr<FolderTagThread> ftt = fWorker;
    ProgressIndicator* sheet = progress();
    // Read here, once: the worker asks no preference.
    const bool searchCovers = ftt->options().searchCovers;
    const bool smartCap = Prefs::smartCapitalization();
    const bool thrifty = fThriftyLookups;
    const bool webCovers = searchCovers && fWebCovers;
    return [this, folder, ftt, sheet, searchCovers, smartCap, thrifty, webCovers]() -> JobResult {
        auto opening = std::make_shared<FolderOpening>();
        opening->folder = recoverFolder(folder);
        scanFiles(*opening);
        // The name-length probe creates files: done here, new names drawn
        // on the main thread find its answer cached.
        FileSystemParams::getFileSystemParams()->maxFileNameLength(opening->folder);
        showScannedTracks(opening->songs);
        if (!(sheet && sheet->cancelled())) {
            createAlbumHits(*opening, findFolderCover(opening->songs), smartCap);
            showCovers({AlbumArt::candidateFromAlbumInfo(opening->infoFromTags.get(), searchCovers),
                        AlbumArt::candidateFromAlbumInfo(opening->infoFromFiles.get(),
                                                         searchCovers)});
            const QString terms = initialSearchString(opening->customTag, opening->detailsFromTags);
            // Hits with the folder's track count rank first among equals.
            ftt->initializeHits(int(opening->songs.count()), opening->detailsFromTags);
            if (!ftt->cleanUpOnly()) {
                if (hasSavedSearch(opening->customTag))
                    ftt->addAlbumHitsFromCustomTag(&*opening->customTag);
                else
                    ftt->addAlbumHitsFromIdentifiers(folderIdentifiers(opening->songs), terms);
                const AlbumDetailsPtr& tags = opening->detailsFromTags;
                ftt->addAlbumHitsFromWeb(SearchTerms::matching(
                    terms, tags ? tags->artist() : QString(), tags ? tags->album() : QString()));
            }
            ftt->pruneAlbumList();
            if (thrifty)
                ftt->retrieveNearestTracks(MatchDistance::Folder::fromTracks(
                    opening->songs, opening->detailsFromTags.get(),
                    opening->detailsFromFiles.get()));
            else
                ftt->retrieveTracks();
            ftt->addHit(pseudoHit(opening->infoFromTags));
            ftt->addHit(pseudoHit(opening->infoFromFiles));
            if (!ftt->cleanUpOnly() && webCovers)
                showCovers(ftt->retrieveImagesFromAlbumDetails());
            opening->lastSearch = terms;
        }
        ftt->finalize();
        return [this, opening] { applyOpening(*opening); };
    };
}

void TrovixDocument::showScannedTracks(const AudioTrackArray& songs) {
    // Copies: the worker goes on reading its own records.
    AudioTrackArray shown;
    for (const AudioTrackRef& track : songs)
        shown.add(std::make_shared<AudioTrack>(*track));
    onMain([this, shown] {
        if (busyState() != BusyState::Opening) return;
        fSongs = shown;
        notifyTracksChanged();
    });
}

void TrovixDocument::applyOpening(const FolderOpening& opening) {
    fDocPath = opening.folder;
    fSongs = opening.songs;
    fCustomTag = opening.customTag;
    fUnreadableFiles = opening.unreadable;
    fAlbumDetailsFromTags = opening.detailsFromTags;
    fAlbumDetailsFromFiles = opening.detailsFromFiles;
    fAlbumInfoFromTags = opening.infoFromTags;
    fAlbumInfoFromFiles = opening.infoFromFiles;
    if (!opening.lastSearch.isNull()) {
        restoreAllOriginalTitles();
        restoreOrigAlbumInfo();
        fLastSearch = opening.lastSearch;
    }
    notifyTracksChanged();
}

DocumentBase::JobBody TrovixDocument::lookupJob(const QString& terms) {
    const std::shared_ptr<FolderTagThread> ftt = fWorker;
    // The window reads the document's own folder hits meanwhile: the worker
    // gets copies.
    const AlbumInfoPtr fromTags = pseudoHit(fAlbumInfoFromTags);
    const AlbumInfoPtr fromFiles = pseudoHit(fAlbumInfoFromFiles);
    const AlbumDetailsPtr tagDetails = fAlbumDetailsFromTags;
    const int count = int(fSongs.count());
    const bool searchCovers = ftt->options().searchCovers;
    const SearchTerms asked = SearchTerms::matching(terms, artistField(), albumField());
    const bool webCovers = searchCovers && fWebCovers;
    std::optional<MatchDistance::Folder> thrifty;
    if (fThriftyLookups)
        thrifty = MatchDistance::Folder::fromTracks(fSongs, fAlbumDetailsFromTags.get(),
                                                    fAlbumDetailsFromFiles.get());
    return [this, ftt, terms, asked, fromTags, fromFiles, tagDetails, count, searchCovers,
            webCovers, thrifty]() -> JobResult {
        ftt->initializeHits(count, tagDetails);
        showCovers({AlbumArt::candidateFromAlbumInfo(fromTags.get(), searchCovers),
                    AlbumArt::candidateFromAlbumInfo(fromFiles.get(), searchCovers)});
        ftt->addHit(fromTags);
        ftt->addHit(fromFiles);
        ftt->addAlbumHitsFromWeb(asked);
        ftt->pruneAlbumList();
        if (thrifty)
            ftt->retrieveNearestTracks(*thrifty);
        else
            ftt->retrieveTracks();
        if (webCovers) showCovers(ftt->retrieveImagesFromAlbumDetails());
        ftt->finalize();
        return [this, terms] { fLastSearch = terms; };
    };
}

void TrovixDocument::takeWorkerResults() {
    const std::shared_ptr<AlbumInfoArray> hits = fWorker ? fWorker->hits() : nullptr;
    const std::optional<CustomTag> tag = customTag();
    if (tag && !tag->variousArtist().isEmpty() && !fVariousArtists) {
        fVariousArtists = true;
        variousArtistsClicked();
    }
    if (tag && tag->reverseArtistAlbum() && !fReverseArtistTitle) {
        fReverseArtistTitle = true;
        reverseArtistAndTitleClicked();
    }
    restoreOrigAlbumInfo();
    if (fWorker && fWorker->cleanUpOnly()) {
        restoreAllOriginalTitles();
    } else {
        fHitTable.setAlbumArray(hits && !hits->isEmpty() ? hits : nullptr);
        forceSelectOfAlbum(hits && !hits->isEmpty() ? 0 : -1);
    }
    // The covers the hits name were fetched by the worker; fetching them here
    // again would block the main thread and list each one twice.
    fAlbumArtObj->reset();
    // The hits an undo would select again are gone.
    fUndoStack.clear();
}

// The text a look-up on a site's page is about; empty when there is none
// (the song look-ups need a selected record, and a new title only counts
// when it differs from the old one).
QString TrovixDocument::lookUpText(PageLookUp::What what) const {
    switch (what) {
    case PageLookUp::What::Artist:
        return artistField();
    case PageLookUp::What::Album:
        return albumField();
    case PageLookUp::What::OldTitle:
    case PageLookUp::What::NewTitle:
        break;
    }
    const AudioTrackRef track = firstSelectedTrack();
    if (!track) return QString();
    if (what == PageLookUp::What::OldTitle) return track->getOldTitle();
    return QString::compare(track->getNewTitle(), track->getOldTitle(), Qt::CaseInsensitive) != 0
               ? track->getNewTitle()
               : QString();
}

TrovixDocument::CommandState TrovixDocument::validateLookUp(const PageLookUp& command) const {
    CommandState state;
    if (!isIdle() || !command.site) return state;
    const QString text = lookUpText(command.what);
    if (text.isEmpty()) return state;
    state.enabled = true;
    state.title = command.titleFor(text);
    return state;
}

void TrovixDocument::lookUp(const PageLookUp& command) {
    if (refuseWhileBusy() || !fSources.browse || !command.site) return;
    const AudioTrackRef track = firstSelectedTrack();
    // A new title is looked up as it stands, even when it equals the old.
    const QString text = command.what == PageLookUp::What::NewTitle
                             ? (track ? track->getNewTitle() : QString())
                             : lookUpText(command.what);
    if (command.what != PageLookUp::What::Artist && command.what != PageLookUp::What::Album &&
        !track)
        return;
    fSources.browse(*command.site, command.subject(), text);
}

#include "moc_TrovixDocument.cpp"
