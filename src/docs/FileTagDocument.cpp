#include "docs/FileTagDocument.h"

#include "app/Preferences.h"
#include "app/PrefsOptions.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/FileTagThread.h"
#include "docs/RenameJournal.h"
#include "docs/SearchString.h"
#include "media/SaveBatch.h"
#include "model/CustomTag.h"
#include "system/FolderLock.h"
#include "system/ProgressIndicator.h"
#include "text/SmartCapitalize.h"

#include <QFileInfo>
#include <QMutexLocker>

namespace {

QString orEmpty(const QString& s) {
    return s.isNull() ? QString(u""_qs) : s;
}

QString capitalizedIf(bool smart, const QString& text) {
    return smart ? SmartCapitalize(text) : text;
}

StatusValues valuesOf(const TrackInfo& hit) {
    return {hit.artist(), hit.album(), hit.year(),     hit.genre(),
            hit.title(),  hit.track(), hit.longTrack()};
}

} // namespace

FileTagDocument::FileTagDocument(DocumentHost* host, QObject* parent)
    : DocumentBase(host, parent) {}

FileTagDocument::~FileTagDocument() {
    // Clearing the history on the way out must not reach a window being
    // destroyed.
    fUndoStack.blockSignals(true);
    joinWorker();
}

// Opening ----------------------------------------------------------------------

void FileTagDocument::setDocumentPath(const QString& path, bool cleanUpOnly) {
    fCleanUpOnly = cleanUpOnly;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) return;
    // An open or look-up still running ends first (its end runs here).
    waitUntilIdle();
    {
        QMutexLocker locker(&fDataLock);
        fDocPath = info.absoluteFilePath();
    }
    // The pictures that lie beside the file.
    fAlbumArtObj->searchForImages(info.absolutePath());
    fLock.enter(BusyState::Opening);
    startOperation(true);
}

void FileTagDocument::createWorker(ProgressIndicator* sheet, bool cleanUpOnly) {
    fFTT = std::make_shared<FileTagThread>(this, sheet, cleanUpOnly, fSources);
}

LookupWorker* FileTagDocument::currentWorker() const {
    return fFTT.get();
}

// Fields -----------------------------------------------------------------------

QString FileTagDocument::titleField() const {
    QMutexLocker locker(&fDataLock);
    return fTitleTextField;
}
QString FileTagDocument::trackField() const {
    QMutexLocker locker(&fDataLock);
    return fTrack1TextField;
}
QString FileTagDocument::countField() const {
    QMutexLocker locker(&fDataLock);
    return fTrack2TextField;
}
QString FileTagDocument::albumField() const {
    QMutexLocker locker(&fDataLock);
    return fAlbumTextField;
}
QString FileTagDocument::artistField() const {
    QMutexLocker locker(&fDataLock);
    return fArtistTextField;
}
QString FileTagDocument::genreField() const {
    QMutexLocker locker(&fDataLock);
    return fGenreTextField;
}
QString FileTagDocument::yearField() const {
    QMutexLocker locker(&fDataLock);
    return fYearTextField;
}

void FileTagDocument::setField(QString& field, const QString& text, int mergeId) {
    recordEdit(
        QStringLiteral("Typing"),
        [&] {
            QMutexLocker locker(&fDataLock);
            field = orEmpty(text);
        },
        mergeId);
    controlTextDidChange();
}

namespace {
// Merge ids of typing in the seven fields.
enum FieldTyping {
    kTitleTyping = 1,
    kTrackTyping,
    kCountTyping,
    kAlbumTyping,
    kArtistTyping,
    kGenreTyping,
    kYearTyping
};
} // namespace

void FileTagDocument::setTitleField(const QString& text) {
    setField(fTitleTextField, text, kTitleTyping);
}
void FileTagDocument::setTrackField(const QString& text) {
    setField(fTrack1TextField, text, kTrackTyping);
}
void FileTagDocument::setCountField(const QString& text) {
    setField(fTrack2TextField, text, kCountTyping);
}
void FileTagDocument::setAlbumField(const QString& text) {
    setField(fAlbumTextField, text, kAlbumTyping);
}
void FileTagDocument::setArtistField(const QString& text) {
    setField(fArtistTextField, text, kArtistTyping);
}
void FileTagDocument::setGenreField(const QString& text) {
    setField(fGenreTextField, text, kGenreTyping);
}
void FileTagDocument::setYearField(const QString& text) {
    setField(fYearTextField, text, kYearTyping);
}

void FileTagDocument::controlTextDidChange() {
    setSearchTerms(BuildSearchString(artistField(), titleField()));
    markEdited();
    bumpKeyHit();
}

void FileTagDocument::prefsChanged() {
    notifyTracksChanged();
    syncWindowTitle();
    markEdited();
}

int FileTagDocument::numberOf(const QString& field) {
    bool ok = false;
    const int n = field.toInt(&ok);
    return ok && n > 0 ? n : 0;
}

void FileTagDocument::updateSongFromFields() {
    QMutexLocker locker(&fDataLock);
    if (fSong) fSong->updateSong(fTitleTextField, fArtistTextField, numberOf(fTrack1TextField));
}

void FileTagDocument::typingIdle() {
    updateSongFromFields();
    notifyTracksChanged();
}

AudioTrackRef FileTagDocument::song() const {
    QMutexLocker locker(&fDataLock);
    return fSong;
}

TrackInfoPtr FileTagDocument::typedInTrackInfo() const {
    QMutexLocker locker(&fDataLock);
    auto info = std::make_shared<TrackInfo>();
    info->setArtist(fArtistTextField);
    info->setAlbum(fAlbumTextField);
    info->setTitle(fTitleTextField);
    info->setYear(fYearTextField);
    info->setGenre(fGenreTextField);
    info->setLongTrack(fTrack2TextField.isEmpty()
                           ? fTrack1TextField
                           : QStringLiteral("%1/%2").arg(fTrack1TextField, fTrack2TextField));
    return info;
}

StatusRow FileTagDocument::fileStatus() const {
    const TrackInfoPtr typed = typedInTrackInfo();
    QMutexLocker locker(&fDataLock);
    if (!fSong) return {};
    return StatusDecisions::singleFile(Prefs::namingOptions(), *fSong, valuesOf(*typed));
}

StatusRow FileTagDocument::hitStatus(const TrackInfo& hit) const {
    QMutexLocker locker(&fDataLock);
    if (!fSong) return {};
    return StatusDecisions::songHit(Prefs::namingOptions(), *fSong, valuesOf(hit));
}

// Score weights --------------------------------------------------------------------

ScoreWeights FileTagDocument::scoreWeights1(const QString& artist) {
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, orEmpty(artist), 100)};
}

ScoreWeights FileTagDocument::googleScoreWeights() const {
    const TrackInfoPtr t = typedInTrackInfo();
    return {AlbumInfo::scoreWeightEntry(TrackInfo::kTitleKey, orEmpty(t->title()), 40),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kAlbumKey, orEmpty(t->album()), 40),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, orEmpty(t->artist()), 20)};
}

ScoreWeights FileTagDocument::scoreWeights() const {
    const TrackInfoPtr t = typedInTrackInfo();
    return {AlbumInfo::scoreWeightEntry(TrackInfo::kTitleKey, orEmpty(t->title()), 80),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, orEmpty(t->genre()), 10),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, orEmpty(t->year()), 10)};
}

ScoreWeights FileTagDocument::rerankWeights() const {
    const TrackInfoPtr t = typedInTrackInfo();
    return {AlbumInfo::scoreWeightEntry(TrackInfo::kTitleKey, orEmpty(t->title()), 25),
            AlbumInfo::scoreWeightEntry(TrackInfo::kLongTrackKey, orEmpty(t->longTrack()), 10),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kAlbumKey, orEmpty(t->album()), 25),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kArtistKey, orEmpty(t->artist()), 25),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, orEmpty(t->genre()), 5),
            AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, orEmpty(t->year()), 10)};
}

// Look-up -------------------------------------------------------------------------

void FileTagDocument::mainLookup() {
    setSearchTerms(BuildSearchString(artistField(), titleField()));
    lookupCommon(false);
}

void FileTagDocument::lookupCommon(bool cleanUpOnly) {
    if (!fSong || !fLock.tryEnter(BusyState::LookingUp)) return;
    fCleanUpOnly = cleanUpOnly;
    startOperation(false);
}

QString FileTagDocument::getInitialSearchString() const {
    QString artist, title;
    {
        QMutexLocker locker(&fDataLock);
        if (fTrackInfoFromTag) artist = fTrackInfoFromTag->artist();
        if (fSong) title = fSong->getOldTitle();
    }
    return BuildSearchString(orEmpty(artist), orEmpty(title));
}

FileTagDocument::CommandState FileTagDocument::validateLookUp(LookUpCommand command) const {
    CommandState state;
    if (!isIdle()) return state;
    QString text;
    switch (command) {
    case LookUpCommand::AmgArtist:
        text = artistField();
        break;
    case LookUpCommand::AmgAlbum:
        text = albumField();
        break;
    case LookUpCommand::AmgOldSong:
        text = titleField();
        break;
    case LookUpCommand::AmgNewSong: {
        const AudioTrackRef track = song();
        const QString title = titleField();
        if (track && QString::compare(title, track->getOldTitle(), Qt::CaseInsensitive) != 0)
            text = title;
        break;
    }
    }
    if (text.isEmpty()) return state;
    state.enabled = true;
    state.title = QStringLiteral("Look up %1 on All Music Guide").arg(text);
    return state;
}

void FileTagDocument::lookUp(LookUpCommand command) {
    if (!isIdle() || !fSources.browse) return;
    QString text;
    LookupSources::Subject subject = LookupSources::Subject::Song;
    switch (command) {
    case LookUpCommand::AmgArtist:
        text = artistField();
        subject = LookupSources::Subject::Artist;
        break;
    case LookUpCommand::AmgAlbum:
        text = albumField();
        subject = LookupSources::Subject::Album;
        break;
    case LookUpCommand::AmgOldSong:
        if (const AudioTrackRef track = song()) text = track->getOldTitle();
        break;
    case LookUpCommand::AmgNewSong:
        text = titleField();
        break;
    }
    if (text.isEmpty()) return;
    fSources.browse(LookupSources::Site::AMG, subject, text);
}

// Worker bodies -------------------------------------------------------------------

void FileTagDocument::scanFile(const QString& path) {
    auto track = std::make_shared<AudioTrack>(AudioTrack::initWithPath(path));
    QMutexLocker locker(&fDataLock);
    fSong = track;
    fCustomTag = track->customTag();
}

void FileTagDocument::createTrackHitFromTag(const QImage& cover, const QByteArray& bytes) {
    const AudioTrackRef track = song();
    const std::optional<CustomTag> tag = customTag();
    fTrackDetailsFromTag = TrackDetails::TrackDetailsFromTag(*track, tag ? &*tag : nullptr,
                                                             Prefs::smartCapitalization());
    fTrackInfoFromTag = fTrackDetailsFromTag->trackInfoFromTrackDetails();
    if (!cover.isNull()) {
        fTrackInfoFromTag->setCoverArt(cover);
        fTrackInfoFromTag->setCoverArtData(bytes);
        fTrackInfoFromTag->setCoverArtLocation(TrackInfo::kTagLocation);
    }
}

void FileTagDocument::createTrackHitFromFile(const QImage& cover, const QByteArray& bytes) {
    const AudioTrackRef track = song();
    fTrackDetailsFromFile = TrackDetails::TrackDetailsFromFile(*track);
    fTrackInfoFromFile = fTrackDetailsFromFile->trackInfoFromTrackDetails();
    fTrackInfoFromFile->setTitle(track->getOldTitle());
    if (!cover.isNull()) {
        fTrackInfoFromFile->setCoverArt(cover);
        fTrackInfoFromFile->setCoverArtData(bytes);
        fTrackInfoFromFile->setCoverArtLocation(track->getPath());
    }
}

void FileTagDocument::recoverFolder() {
    const QString path = docPath();
    QFileInfo info(path);
    const QString folder = info.absolutePath();
    FolderLock lock;
    // A folder being saved right now is that save's business.
    if (lock.tryLock(folder) != FolderLock::Code::Locked) return;
    const QStringList restored = SaveBatch::recover(folder);
    const RenameJournal::Recovery renames = RenameJournal::finish(folder);
    // The file follows its plan (and its folder) to wherever it now is.
    const QString name = renames.names.value(info.fileName());
    const QString now =
        renames.folder + QLatin1Char('/') + (name.isEmpty() ? info.fileName() : name);
    if (now != path) {
        {
            QMutexLocker locker(&fDataLock);
            fDocPath = now;
        }
        syncWindowTitle();
    }
    const QString text = RenameJournal::describe(restored, renames);
    if (!text.isNull()) postAlert(QStringLiteral("Interrupted Save Finished"), text);
}

void FileTagDocument::initThread() {
    FileTagThread& ftt = *fFTT;
    ftt.initializeHits();
    recoverFolder();
    scanFile(docPath());
    ProgressIndicator* sheet = progress();
    if (!(sheet && sheet->cancelled())) {
        const QByteArray bytes = song()->getImageData();
        const QImage cover = AlbumArt::decodedImage(bytes);
        createTrackHitFromTag(cover, bytes);
        createTrackHitFromFile(cover, bytes);
        fAlbumArtObj->setImageFromAlbumInfo(fTrackInfoFromTag.get(), ftt.options().searchCovers);
        fAlbumArtObj->setImageFromAlbumInfo(fTrackInfoFromFile.get(), ftt.options().searchCovers);
        restoreOrigAlbumInfo();
        const QString terms = getInitialSearchString();
        setSearchTerms(terms);
        if (!ftt.cleanUpOnly()) {
            const std::optional<CustomTag> tag = customTag();
            if (tag) ftt.addTrackHitsFromCustomTag(&*tag);
            ftt.addTrackHitsFromWeb(terms);
        }
        ftt.pruneAlbumList();
        ftt.retrieveTracks();
        ftt.addHit(fTrackInfoFromTag);
        ftt.addHit(fTrackInfoFromFile);
        if (!ftt.cleanUpOnly() && ftt.options().searchCovers)
            ftt.retrieveImagesFromTrackDetails(fAlbumArtObj.get());
    }
    ftt.finalize();
}

void FileTagDocument::lookupThread(const QString& terms) {
    FileTagThread& ftt = *fFTT;
    ftt.initializeHits();
    fAlbumArtObj->setImageFromAlbumInfo(fTrackInfoFromTag.get(), ftt.options().searchCovers);
    fAlbumArtObj->setImageFromAlbumInfo(fTrackInfoFromFile.get(), ftt.options().searchCovers);
    ftt.addTrackHitsFromWeb(terms);
    ftt.pruneAlbumList();
    ftt.retrieveTracks();
    ftt.addHit(fTrackInfoFromTag);
    ftt.addHit(fTrackInfoFromFile);
    if (ftt.options().searchCovers) ftt.retrieveImagesFromTrackDetails(fAlbumArtObj.get());
    ftt.finalize();
}

void FileTagDocument::scoopFileThreadData() {
    if (fCleanUpOnly) {
        restoreOrigAlbumInfo();
    } else {
        const std::shared_ptr<TrackInfoArray> hits = fFTT ? fFTT->hits() : nullptr;
        if (hits && !hits->isEmpty()) {
            createTrackArray(hits, *typedInTrackInfo());
            forceSelectOfTrack(0);
        } else {
            clearHits();
            forceSelectOfTrack(-1);
        }
    }
    // The worker fetched the covers the hits name; fetching them again here
    // would block the main thread and list each one twice.
    fAlbumArtObj->reset();
    // The hits an undo would choose again are gone.
    fUndoStack.clear();
}

void FileTagDocument::hitsShown() {
    // The status picture learns the record the search has read.
    notifyTracksChanged();
}

// Song hits ------------------------------------------------------------------------

TrackInfoPtr FileTagDocument::hitAt(qsizetype row) const {
    return std::dynamic_pointer_cast<TrackInfo>(fTrackHitsTableView.hitAt(row));
}

void FileTagDocument::handleHitClick(int row) {
    if (!isIdle()) return;
    recordEdit(QStringLiteral("Apply Song"), [&] {
        fTrackHitsTableView.selectRow(row);
        if (row >= 0) selectAlbumDetailsViaClick(hitAt(row));
    });
    notifyHitsChanged();
}

void FileTagDocument::forceSelectOfTrack(int row) {
    fTrackHitsTableView.selectRow(row < 0 ? -1 : row);
    notifyHitsChanged();
}

void FileTagDocument::selectAlbumDetailsViaClick(const TrackInfoPtr& hit) {
    if (hit) applyAlbumDetails(*hit);
}

void FileTagDocument::createTrackArray(const std::shared_ptr<TrackInfoArray>& hits,
                                       const TrackInfo& entered) {
    auto list = std::make_shared<TrackInfoArray>();
    if (hits) {
        for (const AlbumInfoPtr& entry : hits->array()) {
            const TrackInfoPtr hit = std::static_pointer_cast<TrackInfo>(entry);
            if (const TrackDetailsPtr details = hit->trackDetails())
                details->computeTrackScore(*hit, entered.title(), hit->totalScore());
            list->array().append(hit);
        }
    }
    list->calcScoresAndSort(rerankWeights());
    fTrackHitsTableView.setAlbumArray(list);
    notifyHitsChanged();
}

void FileTagDocument::clearHits() {
    fTrackHitsTableView.setAlbumArray(nullptr);
    fTrackHitsTableView.selectRow(-1);
    notifyHitsChanged();
}

bool FileTagDocument::sortHits(const QString& column) {
    if (!fTrackHitsTableView.sortByColumn(column)) return false;
    notifyHitsChanged();
    return true;
}

// Applying ---------------------------------------------------------------------------

void FileTagDocument::applyAlbumDetails(const TrackInfo& hit) {
    const AudioTrackRef track = song();
    if (!track) return;
    const bool smart = Prefs::boolValue(Prefs::kSmartCapitalization);
    // A copy of the record collects the values; nothing reaches the file.
    AudioTrack scratch = *track;
    const QString album = capitalizedIf(smart, orEmpty(hit.album()));
    const QString genre = orEmpty(hit.genre());
    const QString year = orEmpty(hit.year());
    const QString title = capitalizedIf(smart, orEmpty(hit.title()));
    const QString artist = capitalizedIf(smart, orEmpty(hit.artist()));
    QString trackText, countText;
    if (!hit.track().isEmpty()) {
        trackText = hit.track();
        if (!hit.maxTrack().isEmpty()) {
            countText = hit.maxTrack();
            const int n = numberOf(trackText);
            scratch.setTrack(n, numberOf(countText));
            scratch.setRow(uint32_t(n - 1));
        }
    }
    scratch.setAlbum(album);
    scratch.setGenre(genre);
    scratch.setYearStr(year);
    scratch.setNewTitle(title);
    scratch.setNewArtist(artist);
    QString titleText = scratch.getAlbumOrTrackName(
        Prefs::namingOptions(), nullptr, AudioTrack::kSingleFile | AudioTrack::kTitleTag);
    if (titleText.isNull()) titleText = title;
    recordEdit(QStringLiteral("Apply Song"), [&] {
        {
            QMutexLocker locker(&fDataLock);
            fAlbumTextField = album;
            fGenreTextField = genre;
            fYearTextField = year;
            fTrack1TextField = orEmpty(trackText);
            fTrack2TextField = orEmpty(countText);
            fArtistTextField = artist;
            fTitleTextField = titleText;
        }
        updateSongFromFields();
    });
    markEdited();
    notifyTracksChanged();
}

void FileTagDocument::restoreOrigAlbumInfo() {
    const AudioTrackRef track = song();
    if (!track) return;
    recordEdit(QStringLiteral("Restore Original Info"), [&] {
        {
            QMutexLocker locker(&fDataLock);
            fTitleTextField = orEmpty(track->getOldTitle());
            fTrack1TextField = orEmpty(track->getTrackStr());
            fTrack2TextField = orEmpty(track->getMaxTrackStr());
            fArtistTextField = orEmpty(track->getArtist());
            fAlbumTextField = orEmpty(track->getAlbum());
            fYearTextField = orEmpty(track->getYearStr());
            fGenreTextField = orEmpty(track->getGenre());
        }
        updateSongFromFields();
    });
    controlTextDidChange();
    notifyTracksChanged();
    fAlbumArtObj->reset();
}

void FileTagDocument::copyOldTitlesToNew(bool onlyBlank) {
    recordEdit(QStringLiteral("Use Old Title"), [&] {
        QMutexLocker locker(&fDataLock);
        if (fSong && !(onlyBlank && fSong->hasNewTitle())) {
            fSong->setNewTitle(fSong->getOldTitle());
            // The title field is what a save writes, so it follows.
            fTitleTextField = orEmpty(fSong->getOldTitle());
        }
    });
    markEdited();
    notifyTracksChanged();
}
