#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/FolderTagThread.h"
#include "docs/SearchString.h"
#include "media/MusicFile.h"
#include "model/TrackInfo.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <functional>

TrovixDocument::TrovixDocument(DocumentHost* host, QObject* parent)
    : DocumentBase(host, parent) {}

TrovixDocument::~TrovixDocument() {
    fStatusTimer.stop();
    joinWorker();
}

// Opening and identity -----------------------------------------------------

void TrovixDocument::setDocumentPath(const QString& path, bool cleanUpOnly) {
    fCleanUpOnly = cleanUpOnly;
    if (path.isEmpty() || !QFileInfo(path).isDir()) return;
    // An open or look-up still running ends first; its end runs on this
    // (the main) thread, so merely waiting for idle would never return.
    if (fAwaitingWorker) waitUntilIdle();
    {
        QMutexLocker locker(&fDataLock);
        fDocPath = QDir::cleanPath(path);
    }
    fAlbumArtObj->searchForImages(fDocPath);
    fLock.enter(BusyState::Opening);
    startOperation(true);
}

void TrovixDocument::createWorker(ProgressIndicator* sheet, bool cleanUpOnly) {
    fFTT = std::make_shared<FolderTagThread>(this, sheet, cleanUpOnly, fSources);
}

int TrovixDocument::alternate() const {
    return fVariousArtists ? AudioTrack::kVariousArtists : 0;
}

// Workers --------------------------------------------------------------------

LookupWorker* TrovixDocument::currentWorker() const {
    return fFTT.get();
}

void TrovixDocument::typingIdle() {
    if (fHost) fHost->reloadTracks();
}

// Album fields ---------------------------------------------------------------

QString TrovixDocument::artistField() const {
    QMutexLocker locker(&fDataLock);
    return fOldArtist;
}

QString TrovixDocument::albumField() const {
    QMutexLocker locker(&fDataLock);
    return fOldAlbum;
}

QString TrovixDocument::genreField() const {
    QMutexLocker locker(&fDataLock);
    return fOldGenre;
}

QString TrovixDocument::yearField() const {
    QMutexLocker locker(&fDataLock);
    return fOldYear;
}

void TrovixDocument::setField(QString& field, const QString& text) {
    QMutexLocker locker(&fDataLock);
    field = text.isNull() ? QString(u""_qs) : text;
}

void TrovixDocument::setArtistField(const QString& text) {
    setField(fOldArtist, text);
    controlTextDidChange();
}

void TrovixDocument::setAlbumField(const QString& text) {
    setField(fOldAlbum, text);
    controlTextDidChange();
}

void TrovixDocument::setGenreField(const QString& text) {
    setField(fOldGenre, text);
    markEdited();
}

void TrovixDocument::setYearField(const QString& text) {
    setField(fOldYear, text);
    markEdited();
}

void TrovixDocument::setVariousArtists(bool on) {
    if (refuseWhileBusy() || on == fVariousArtists) return;
    fVariousArtists = on;
    variousArtistsClicked();
}

void TrovixDocument::setReverseArtistTitle(bool on) {
    if (refuseWhileBusy() || !fVariousArtists || on == fReverseArtistTitle) return;
    fReverseArtistTitle = on;
    reverseArtistAndTitleClicked();
}

QString TrovixDocument::lastSearch() const {
    QMutexLocker locker(&fDataLock);
    return fLastSearch;
}

void TrovixDocument::controlTextDidChange() {
    setSearchTerms(BuildSearchString(artistField(), albumField()));
    markEdited();
    bumpKeyHit();
}

void TrovixDocument::prefsChanged() {
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
    const QString genre = fAlbumDetailsFromTags ? fAlbumDetailsFromTags->genre() : QString();
    const QString year = fAlbumDetailsFromTags ? fAlbumDetailsFromTags->year() : QString();
    auto orEmpty = [](const QString& s) { return s.isNull() ? QString(u""_qs) : s; };
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kCompareStringKey, orEmpty(terms), 88),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, orEmpty(genre), 6),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, orEmpty(year), 6)};
}

QString TrovixDocument::getInitialSearchString() const {
    const std::optional<CustomTag> tag = customTag();
    if (tag && !tag->iadbSearchTerms().isNull()) return tag->iadbSearchTerms();
    const QString artist = fAlbumDetailsFromTags ? fAlbumDetailsFromTags->artist() : QString();
    const QString album = fAlbumDetailsFromTags ? fAlbumDetailsFromTags->album() : QString();
    return QStringLiteral("%1 / %2").arg(artist, album);
}

void TrovixDocument::scanFiles(const QString& folder) {
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    {
        QMutexLocker locker(&fDataLock);
        fSongs = AudioTrackArray();
        fCustomTag.reset();
        fUnreadableFiles.clear();
    }
    QStringList unreadable;
    ProgressIndicator* sheet = progress();
    if (sheet) {
        sheet->NotifyBeginDet(QStringLiteral("Scanning files..."), 0, int(entries.size()) + 1,
                              true);
        sheet->NotifyBump(1);
    }
    for (const QString& name : entries) {
        if (sheet && sheet->cancelled()) break;
        const QString path = folder + u'/' + name;
        const QFileInfo info(path);
        if (info.exists() && !info.isDir()) {
            AudioTrack track = AudioTrack::initWithPath(path);
            if (track.isValid()) {
                QMutexLocker locker(&fDataLock);
                if (!fCustomTag && track.customTag()) fCustomTag = track.customTag();
                // The row numbers the file-name template; a list that is never
                // reordered (clean-up only) is named by its scan order.
                track.setRow(uint32_t(fSongs.count()));
                fSongs.add(std::make_shared<AudioTrack>(std::move(track)));
            } else if (MusicFile::isMusicFileName(name)) {
                unreadable << name;
            }
        }
        if (sheet) sheet->NotifyBump(1);
    }
    if (!unreadable.isEmpty()) reportUnreadableFiles(unreadable);
    notifyTracksChanged();
}

// Empty, truncated or not audio at all, whatever the name says: the others
// open without them, and the user learns which ones were left out.
void TrovixDocument::reportUnreadableFiles(const QStringList& names) {
    {
        QMutexLocker locker(&fDataLock);
        fUnreadableFiles = names;
    }
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

// The hit of a pseudo-album, with the first picture any file's tags hold as
// its cover, found at `location` of that file.
AlbumInfoPtr hitWithFirstPicture(const AlbumDetailsPtr& details, const AudioTrackArray& songs,
                                 const std::function<QString(const AudioTrack&)>& location) {
    AlbumInfoPtr hit = details ? details->albumInfoFromAlbumDetails() : nullptr;
    if (!hit) return hit;
    for (const AudioTrackRef& track : songs) {
        const QImage image = track->getImage();
        if (image.isNull()) continue;
        hit->setCoverArt(image);
        hit->setCoverArtLocation(location(*track));
        break;
    }
    return hit;
}

} // namespace

void TrovixDocument::createAlbumHitFromTags() {
    const std::optional<CustomTag> tag = customTag();
    AlbumDetailsPtr details;
    AlbumInfoPtr hit;
    {
        QMutexLocker locker(&fDataLock);
        details = AlbumDetails::AlbumDetailsFromTags(fSongs, tag ? &*tag : nullptr);
    }
    hit = hitWithFirstPicture(details, fSongs, [](const AudioTrack&) {
        return TrackInfo::kTagLocation;
    });
    // Published whole: the window may be drawing the status letters from the
    // previous hit meanwhile.
    QMutexLocker locker(&fDataLock);
    fAlbumDetailsFromTags = details;
    fAlbumInfoFromTags = hit;
}

void TrovixDocument::createAlbumHitFromFiles() {
    AlbumDetailsPtr details;
    AlbumInfoPtr hit;
    {
        QMutexLocker locker(&fDataLock);
        details = AlbumDetails::AlbumDetailsFromFiles(fSongs);
    }
    hit = hitWithFirstPicture(details, fSongs,
                              [](const AudioTrack& track) { return track.getPath(); });
    QMutexLocker locker(&fDataLock);
    fAlbumDetailsFromFiles = details;
    fAlbumInfoFromFiles = hit;
}

namespace {

// The worker scores and completes the hits of its list in place, while the
// window reads the document's own tag hit for the status letters: the list
// gets a copy.
AlbumInfoPtr pseudoHit(const AlbumInfoPtr& hit) {
    return hit ? hit->copy() : nullptr;
}

} // namespace

void TrovixDocument::initThread() {
    FolderTagThread& ftt = *fFTT;
    ftt.initializeHits();
    scanFiles(docPath());
    ProgressIndicator* sheet = progress();
    if (!(sheet && sheet->cancelled())) {
        createAlbumHitFromTags();
        createAlbumHitFromFiles();
        fAlbumArtObj->setImageFromAlbumInfo(fAlbumInfoFromTags.get());
        fAlbumArtObj->setImageFromAlbumInfo(fAlbumInfoFromFiles.get());
        restoreAllOriginalTitles();
        restoreOrigAlbumInfo();
        const QString terms = getInitialSearchString();
        if (!ftt.cleanUpOnly()) {
            const std::optional<CustomTag> tag = customTag();
            if (tag) ftt.addAlbumHitsFromCustomTag(&*tag);
            ftt.addAlbumHitsFromWeb(terms);
        }
        ftt.pruneAlbumList();
        ftt.retrieveTracks();
        ftt.addHit(pseudoHit(fAlbumInfoFromTags));
        ftt.addHit(pseudoHit(fAlbumInfoFromFiles));
        if (!ftt.cleanUpOnly() && Prefs::boolValue(Prefs::kSearchForCoverArt))
            ftt.retrieveImagesFromAlbumDetails(fAlbumArtObj.get());
        QMutexLocker locker(&fDataLock);
        fLastSearch = terms;
    }
    ftt.finalize();
}

void TrovixDocument::lookupThread(const QString& terms) {
    FolderTagThread& ftt = *fFTT;
    ftt.initializeHits();
    fAlbumArtObj->setImageFromAlbumInfo(fAlbumInfoFromTags.get());
    fAlbumArtObj->setImageFromAlbumInfo(fAlbumInfoFromFiles.get());
    ftt.addHit(pseudoHit(fAlbumInfoFromTags));
    ftt.addHit(pseudoHit(fAlbumInfoFromFiles));
    ftt.addAlbumHitsFromWeb(terms);
    ftt.pruneAlbumList();
    ftt.retrieveTracks();
    if (Prefs::boolValue(Prefs::kSearchForCoverArt))
        ftt.retrieveImagesFromAlbumDetails(fAlbumArtObj.get());
    {
        QMutexLocker locker(&fDataLock);
        fLastSearch = terms;
    }
    ftt.finalize();
}

void TrovixDocument::scoopFileThreadData() {
    const std::shared_ptr<AlbumInfoArray> hits = fFTT ? fFTT->hits() : nullptr;
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
    if (fFTT && fFTT->cleanUpOnly()) {
        restoreAllOriginalTitles();
    } else {
        fHitTable.setAlbumArray(hits && !hits->isEmpty() ? hits : nullptr);
        forceSelectOfAlbum(hits && !hits->isEmpty() ? 0 : -1);
    }
    // The covers the hits name were fetched by the worker; fetching them here
    // again would block the main thread and list each one twice.
    fAlbumArtObj->reset();
}

TrovixDocument::CommandState TrovixDocument::validateLookUp(LookUpCommand command) const {
    CommandState state;
    if (!isIdle()) return state;
    const int site = int(command) / 4;
    const int subject = int(command) % 4;
    QString text;
    switch (subject) {
    case 0:
        text = artistField();
        break;
    case 1:
        text = albumField();
        break;
    default: {
        const AudioTrackRef track = firstSelectedTrack();
        if (!track) break;
        if (subject == 2) {
            text = track->getOldTitle();
        } else if (QString::compare(track->getNewTitle(), track->getOldTitle(),
                                    Qt::CaseInsensitive) != 0) {
            text = track->getNewTitle();
        }
    }
    }
    if (text.isEmpty()) return state;
    static const char* const kSites[] = {"All Music Guide", "Google Music", "Amazon Music"};
    state.enabled = true;
    state.title = QStringLiteral("Look up %1 on %2").arg(text, QLatin1String(kSites[site]));
    return state;
}

void TrovixDocument::lookUp(LookUpCommand command) {
    if (refuseWhileBusy() || !fSources.browse) return;
    const int subject = int(command) % 4;
    QString text;
    if (subject == 0) {
        text = artistField();
    } else if (subject == 1) {
        text = albumField();
    } else {
        const AudioTrackRef track = firstSelectedTrack();
        if (!track) return;
        text = subject == 2 ? track->getOldTitle() : track->getNewTitle();
    }
    static const LookupSources::Site kSites[] = {
        LookupSources::Site::AMG, LookupSources::Site::Google, LookupSources::Site::Amazon};
    static const LookupSources::Subject kSubjects[] = {
        LookupSources::Subject::Artist, LookupSources::Subject::Album, LookupSources::Subject::Song,
        LookupSources::Subject::Song};
    fSources.browse(kSites[int(command) / 4], kSubjects[subject], text);
}
