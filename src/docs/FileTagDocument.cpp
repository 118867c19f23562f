#include "docs/FileTagDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "art/CoverFiles.h"
#include "docs/DocumentHost.h"
#include "docs/FileTagThread.h"
#include "docs/FolderRecovery.h"
#include "model/ScoreRules.h"
#include "prefs/PrefsOptions.h"
#include "save/RenameJournal.h"
#include "save/SaveBatch.h"
#include "system/ProgressIndicator.h"
#include "tags/CustomTag.h"
#include "text/SearchString.h"
#include "text/SmartCapitalize.h"
#include "text/StringUtils.h"

#include <QFileInfo>

namespace {

// A hit's values as the status letters compare them; its position is its
// track alone.
TagValues valuesOf(const TrackInfo& hit) {
    TagValues values{.title = hit.title(),
                     .artist = hit.artist(),
                     .album = hit.album(),
                     .year = hit.year(),
                     .genre = hit.genre()};
    std::tie(values.track, values.trackCount) = TagValues::splitPair(hit.longTrack());
    return values;
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
    assertOwner();
    fDocPath = info.absoluteFilePath();
    fLock.enter(BusyState::Opening);
    startOperation(true);
}

void FileTagDocument::createWorker(ProgressIndicator* sheet, bool cleanUpOnly) {
    fWorker = std::make_shared<FileTagThread>(sheet, cleanUpOnly, fSources);
}

LookupWorker* FileTagDocument::currentWorker() const {
    return fWorker.get();
}

// Fields -----------------------------------------------------------------------

QString FileTagDocument::field(TagField which) const {
    assertOwner();
    return fFields.text(which);
}

// The field's keystrokes in a row are one undo step.
void FileTagDocument::setField(TagField which, const QString& text) {
    recordEdit(
        QStringLiteral("Typing"), [&] { fFields.setText(which, orEmpty(text)); }, int(which));
    controlTextDidChange();
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
    assertOwner();
    if (fSong) fSong->updateSong(fFields.title, fFields.artist, numberOf(fFields.track));
}

void FileTagDocument::typingIdle() {
    updateSongFromFields();
    notifyTracksChanged();
}

AudioTrackRef FileTagDocument::song() const {
    assertOwner();
    return fSong;
}

TrackInfoPtr FileTagDocument::typedInTrackInfo() const {
    assertOwner();
    auto info = std::make_shared<TrackInfo>();
    info->setArtist(fFields.artist);
    info->setAlbum(fFields.album);
    info->setTitle(fFields.title);
    info->setYear(fFields.year);
    info->setGenre(fFields.genre);
    info->setLongTrack(fFields.longTrack());
    return info;
}

StatusRow FileTagDocument::fileStatus() const {
    const TrackInfoPtr typed = typedInTrackInfo();
    if (!fSong) return {};
    return StatusDecisions::singleFile(Prefs::namingOptions(), *fSong, valuesOf(*typed));
}

StatusRow FileTagDocument::hitStatus(const TrackInfo& hit) const {
    assertOwner();
    if (!fSong) return {};
    bool numbered = false;
    const int position = hit.track().toInt(&numbered);
    return StatusDecisions::songHit(Prefs::namingOptions(), *fSong, valuesOf(hit),
                                    numbered ? position : 1);
}

// Score weights --------------------------------------------------------------------

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
    assertOwner();
    return initialSearchString(fTrackInfoFromTag, fSong ? fSong->getOldTitle() : QString());
}

QString FileTagDocument::initialSearchString(const TrackInfoPtr& fromTag, const QString& oldTitle) {
    return BuildSearchString(orEmpty(fromTag ? fromTag->artist() : QString()), orEmpty(oldTitle));
}

FileTagDocument::CommandState FileTagDocument::validateLookUp(const PageLookUp& command) const {
    CommandState state;
    if (!isIdle() || !command.site) return state;
    QString text;
    switch (command.what) {
    case PageLookUp::What::Artist:
        text = artistField();
        break;
    case PageLookUp::What::Album:
        text = albumField();
        break;
    case PageLookUp::What::OldTitle:
        text = titleField();
        break;
    case PageLookUp::What::NewTitle: {
        const AudioTrackRef track = song();
        const QString title = titleField();
        if (track && QString::compare(title, track->getOldTitle(), Qt::CaseInsensitive) != 0)
            text = title;
        break;
    }
    }
    if (text.isEmpty()) return state;
    state.enabled = true;
    state.title = command.titleFor(text);
    return state;
}

void FileTagDocument::lookUp(const PageLookUp& command) {
    if (!isIdle() || !fSources.browse || !command.site) return;
    QString text;
    switch (command.what) {
    case PageLookUp::What::Artist:
        text = artistField();
        break;
    case PageLookUp::What::Album:
        text = albumField();
        break;
    case PageLookUp::What::OldTitle:
        if (const AudioTrackRef track = song()) text = track->getOldTitle();
        break;
    case PageLookUp::What::NewTitle:
        text = titleField();
        break;
    }
    if (text.isEmpty()) return;
    fSources.browse(*command.site, command.subject(), text);
}

// Opening and look-up jobs ------------------------------------------------------

namespace {

// The hits the worker ranks and completes in place, while the window reads
// the document's own: the list gets a copy.
TrackInfoPtr pseudoHit(const TrackInfoPtr& hit) {
    return hit ? std::static_pointer_cast<TrackInfo>(hit->copy()) : nullptr;
}

// What restoreOrigAlbumInfo will type into the fields, for ranking hits.
TrackInfo fieldsOf(const AudioTrack& track) {
    TrackInfo typed;
    typed.setTitle(orEmpty(track.getOldTitle()));
    typed.setAlbum(orEmpty(track.tags().album));
    typed.setArtist(orEmpty(track.tags().artist));
    return typed;
}

} // namespace

QString FileTagDocument::recoverFolder(const QString& path, QList<Alert>* alerts) {
    const QFileInfo info(path);
    const FolderRecovery::Result r =
        FolderRecovery::run(info.absolutePath(), RenameJournal::Scope::SingleFile);
    if (r.alert && alerts) *alerts << *r.alert;
    // The file follows its plan to wherever it now is.
    const QString name = r.names.value(info.fileName());
    return r.folder + QLatin1Char('/') + (name.isEmpty() ? info.fileName() : name);
}

void FileTagDocument::createTrackHits(FileOpening& opening, const QByteArray& cover,
                                      bool smartCap) {
    const AudioTrack& track = *opening.song;
    const std::optional<CustomTag>& tag = opening.customTag;
    opening.detailsFromTag =
        TrackDetails::TrackDetailsFromTag(track, tag ? &*tag : nullptr, smartCap);
    opening.infoFromTag = TrackInfo::fromDetails(*opening.detailsFromTag);
    opening.detailsFromFile = TrackDetails::TrackDetailsFromFile(track);
    opening.infoFromFile = TrackInfo::fromDetails(*opening.detailsFromFile);
    opening.infoFromFile->setTitle(track.getOldTitle());
    // Its header read, never its pixels: decoded only when shown.
    if (!CoverFiles::storedSize(cover).isValid()) return;
    opening.infoFromTag->setCoverArtData(cover);
    opening.infoFromTag->setCoverArtLocation(TrackInfo::kTagLocation);
    opening.infoFromFile->setCoverArtData(cover);
    opening.infoFromFile->setCoverArtLocation(track.getPath());
}

DocumentBase::JobBody FileTagDocument::openJob() {
    const QString path = fDocPath;
    const std::shared_ptr<FileTagThread> ftt = fWorker;
    ProgressIndicator* sheet = progress();
    // Thread-safe, and alive as long as the document, which waits for the job.
    // Read here, once: the worker asks no preference.
    const bool searchCovers = ftt->options().searchCovers;
    const bool smartCap = Prefs::smartCapitalization();
    return [this, ftt, path, sheet, searchCovers, smartCap]() -> JobResult {
        auto opening = std::make_shared<FileOpening>();
        opening->path = recoverFolder(path, &opening->alerts);
        // The pictures that lie beside the file; read here, never on the
        // main thread.
        showCovers(AlbumArt::candidatesInFolder(QFileInfo(opening->path).absolutePath()));
        opening->song = std::make_shared<AudioTrack>(AudioTrack::initWithPath(opening->path));
        opening->customTag = opening->song->tags().custom;
        ftt->initializeHits();
        if (!(sheet && sheet->cancelled())) {
            createTrackHits(*opening, opening->song->getImageData(), smartCap);
            showCovers({AlbumArt::candidateFromAlbumInfo(opening->infoFromTag.get(), searchCovers),
                        AlbumArt::candidateFromAlbumInfo(opening->infoFromFile.get(),
                                                         searchCovers)});
            const QString terms =
                initialSearchString(opening->infoFromTag, opening->song->getOldTitle());
            if (!ftt->cleanUpOnly()) {
                if (opening->customTag) ftt->addTrackHitsFromCustomTag(&*opening->customTag);
                ftt->addTrackHitsFromWeb(terms, ScoreRules::songTypedIn(fieldsOf(*opening->song)));
            }
            ftt->pruneAlbumList();
            ftt->retrieveTracks();
            ftt->addHit(opening->infoFromTag);
            ftt->addHit(opening->infoFromFile);
            if (!ftt->cleanUpOnly() && searchCovers)
                showCovers(ftt->retrieveImagesFromTrackDetails());
            opening->terms = terms;
        }
        ftt->finalize();
        opening->hits = ftt->hits();
        return [this, opening] { applyOpening(*opening); };
    };
}

void FileTagDocument::applyOpening(const FileOpening& opening) {
    assertOwner();
    for (const Alert& a : opening.alerts)
        postAlert(a.title, a.message);
    const bool moved = opening.path != fDocPath;
    fDocPath = opening.path;
    if (moved) syncWindowTitle();
    fSong = opening.song;
    fCustomTag = opening.customTag;
    fFoundHits = opening.hits;
    if (opening.terms.isNull()) return;
    fTrackDetailsFromTag = opening.detailsFromTag;
    fTrackDetailsFromFile = opening.detailsFromFile;
    fTrackInfoFromTag = opening.infoFromTag;
    fTrackInfoFromFile = opening.infoFromFile;
    restoreOrigAlbumInfo();
    setSearchTerms(opening.terms);
}

DocumentBase::JobBody FileTagDocument::lookupJob(const QString& terms) {
    const std::shared_ptr<FileTagThread> ftt = fWorker;
    const TrackInfoPtr fromTag = pseudoHit(fTrackInfoFromTag);
    const TrackInfoPtr fromFile = pseudoHit(fTrackInfoFromFile);
    const ScoreWeights typedIn = ScoreRules::songTypedIn(*typedInTrackInfo());
    const bool searchCovers = ftt->options().searchCovers;
    return [this, ftt, terms, fromTag, fromFile, typedIn, searchCovers]() -> JobResult {
        ftt->initializeHits();
        showCovers({AlbumArt::candidateFromAlbumInfo(fromTag.get(), searchCovers),
                    AlbumArt::candidateFromAlbumInfo(fromFile.get(), searchCovers)});
        ftt->addTrackHitsFromWeb(terms, typedIn);
        ftt->pruneAlbumList();
        ftt->retrieveTracks();
        ftt->addHit(fromTag);
        ftt->addHit(fromFile);
        if (searchCovers) showCovers(ftt->retrieveImagesFromTrackDetails());
        ftt->finalize();
        auto hits = ftt->hits();
        return [this, hits] { fFoundHits = hits; };
    };
}

void FileTagDocument::takeWorkerResults() {
    const std::shared_ptr<TrackInfoArray> hits = std::exchange(fFoundHits, nullptr);
    if (fCleanUpOnly) {
        restoreOrigAlbumInfo();
    } else {
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

TrackDetailsPtr FileTagDocument::trackDetailsFromTag() const {
    assertOwner();
    return fTrackDetailsFromTag;
}
TrackDetailsPtr FileTagDocument::trackDetailsFromFile() const {
    assertOwner();
    return fTrackDetailsFromFile;
}
TrackInfoPtr FileTagDocument::trackInfoFromTag() const {
    assertOwner();
    return fTrackInfoFromTag;
}
TrackInfoPtr FileTagDocument::trackInfoFromFile() const {
    assertOwner();
    return fTrackInfoFromFile;
}

TrackInfoPtr FileTagDocument::hitAt(qsizetype row) const {
    assertOwner();
    return std::dynamic_pointer_cast<TrackInfo>(fHitTable.hitAt(row));
}

void FileTagDocument::handleHitClick(int row) {
    if (!isIdle()) return;
    recordEdit(QStringLiteral("Apply Song"), [&] {
        fHitTable.selectRow(row);
        if (row >= 0) selectAlbumDetailsViaClick(hitAt(row));
    });
    notifyHitsChanged();
}

void FileTagDocument::forceSelectOfTrack(int row) {
    fHitTable.selectRow(row < 0 ? -1 : row);
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
            if (hit->trackDetails()) hit->scoreTrack(entered.title(), hit->totalScore());
            list->array().append(hit);
        }
    }
    list->calcScoresAndSort(rerankWeights());
    fHitTable.setAlbumArray(list);
    notifyHitsChanged();
}

void FileTagDocument::clearHits() {
    fHitTable.setAlbumArray(nullptr);
    fHitTable.selectRow(-1);
    notifyHitsChanged();
}

bool FileTagDocument::sortHits(const QString& column) {
    if (!fHitTable.sortByColumn(column)) return false;
    notifyHitsChanged();
    return true;
}

// Applying ---------------------------------------------------------------------------

void FileTagDocument::applyAlbumDetails(const TrackInfo& hit) {
    const AudioTrackRef track = song();
    if (!track) return;
    const bool smart = Prefs::smartCapitalization();
    // The values the fields take; a copy of the record names the title
    // with them, and nothing reaches the file.
    TagValues values{.title = SmartCapitalizeIf(smart, orEmpty(hit.title())),
                     .artist = SmartCapitalizeIf(smart, orEmpty(hit.artist())),
                     .album = SmartCapitalizeIf(smart, orEmpty(hit.album())),
                     .year = orEmpty(hit.year()),
                     .genre = orEmpty(hit.genre()),
                     .track = u""_qs,
                     .trackCount = u""_qs};
    AudioTrack scratch = *track;
    if (!hit.track().isEmpty()) {
        values.track = hit.track();
        if (!hit.maxTrack().isEmpty()) {
            values.trackCount = hit.maxTrack();
            const int n = numberOf(values.track);
            TagValues numbers = TagValues::withTrack(n, numberOf(values.trackCount));
            scratch.setTags(numbers, TagField::Track | TagField::TrackCount);
            scratch.setRow(uint32_t(n - 1));
        }
    }
    scratch.setTags(values, TagField::Album | TagField::Genre | TagField::Year);
    scratch.setNewTitle(values.title);
    scratch.setNewArtist(values.artist);
    const QString titleText = scratch.getAlbumOrTrackName(
        Prefs::namingOptions(), std::nullopt, AudioTrack::kSingleFile | AudioTrack::kTitleTag);
    if (!titleText.isNull()) values.title = titleText;
    recordEdit(QStringLiteral("Apply Song"), [&] {
        fFields = values;
        updateSongFromFields();
    });
    markEdited();
    notifyTracksChanged();
}

void FileTagDocument::restoreOrigAlbumInfo() {
    const AudioTrackRef track = song();
    if (!track) return;
    recordEdit(QStringLiteral("Restore Original Info"), [&] {
        const TagValues& read = track->tags();
        fFields = {.title = orEmpty(track->getOldTitle()),
                   .artist = orEmpty(read.artist),
                   .album = orEmpty(read.album),
                   .year = orEmpty(read.year),
                   .genre = orEmpty(read.genre),
                   .track = orEmpty(read.track),
                   .trackCount = orEmpty(read.trackCount)};
        updateSongFromFields();
    });
    controlTextDidChange();
    notifyTracksChanged();
    fAlbumArtObj->reset();
}

void FileTagDocument::copyOldTitlesToNew(bool onlyBlank) {
    recordEdit(QStringLiteral("Use Old Title"), [&] {
        if (fSong && !(onlyBlank && fSong->hasNewTitle())) {
            fSong->setNewTitle(fSong->getOldTitle());
            // The title field is what a save writes, so it follows.
            fFields.title = orEmpty(fSong->getOldTitle());
        }
    });
    markEdited();
    notifyTracksChanged();
}

#include "moc_FileTagDocument.cpp"
