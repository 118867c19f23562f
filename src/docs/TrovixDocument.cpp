#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/AlbumApplier.h"
#include "docs/BoxSetEditor.h"
#include "docs/DocumentHost.h"
#include "docs/FolderContext.h"
#include "docs/FolderOpener.h"
#include "docs/FolderSaver.h"
#include "docs/FolderTagThread.h"
#include "docs/PageLookUpCommands.h"
#include "docs/SaveOptions.h"
#include "docs/TrackTableEditor.h"
#include "model/ScoreRules.h"
#include "prefs/PrefsOptions.h"
#include "system/Disposal.h"
#include "system/FileSystemParams.h"
#include "system/ProgressIndicator.h"
#include "text/SearchString.h"
#include "web/sources/ResultKeys.h"

#include <QDir>
#include <QFileInfo>

// The document as its collaborators see it: its state and the services of
// DocumentBase an edit or a save needs.
class TrovixDocument::Context final : public FolderContext {
public:
    explicit Context(TrovixDocument& doc) : fDoc(doc) {}

    FolderState& state() override {
        fDoc.assertOwner();
        return fDoc.fState;
    }
    const FolderState& state() const override {
        fDoc.assertOwner();
        return fDoc.fState;
    }
    bool busy() const override { return !fDoc.isIdle(); }
    QString folder() const override { return fDoc.fDocPath; }
    const LookupSources& sources() const override { return fDoc.fSources; }
    void recordEdit(const QString& text, const std::function<void()>& edit, int mergeId) override {
        fDoc.recordEdit(text, edit, mergeId);
    }
    void notifyTracksChanged() override { fDoc.notifyTracksChanged(); }
    void notifyHitsChanged() override { fDoc.notifyHitsChanged(); }
    void markEdited() override { fDoc.markEdited(); }
    void endHistory() override { fDoc.fUndoStack.clear(); }
    void holdTypingMonitor(bool hold) override { fDoc.fHoldTypingMonitor = hold; }
    void resetCovers() override { fDoc.fAlbumArtObj->reset(); }

    DocumentHost* host() const override { return fDoc.fHost; }
    bool closed() const override { return fDoc.fClosed; }
    void saveAll() override { fDoc.saveAll(); }
    QString searchTerms() const override { return fDoc.fSearchTerms; }
    std::optional<CustomTag> customTag() const override { return fDoc.fCustomTag; }
    int alternate() const override { return fDoc.alternate(); }
    const NamingOptions& naming() const override { return fDoc.fNaming; }
    void setFolder(const QString& folder) override { fDoc.fDocPath = folder; }
    void postAlert(const QString& title, const QString& message) override {
        fDoc.postAlert(title, message);
    }
    void setSaveFailures(const QList<SaveReport::Failure>& failures) override {
        fDoc.fSaveFailures = failures;
    }
    void syncWindowTitle() override { fDoc.syncWindowTitle(); }
    void concludeSave() override { fDoc.concludeSave(); }

    // The window shows the scanned files while the web is asked (worker).
    void showScannedTracks(const AudioTrackArray& songs) {
        if (!fDoc.fHost || !fDoc.fHost->showsTracksWhileOpening()) return;
        // Copies: the worker goes on reading its own records.
        AudioTrackArray shown;
        for (const AudioTrackRef& track : songs)
            shown.add(std::make_shared<AudioTrack>(*track));
        TrovixDocument& doc = fDoc;
        doc.onMain([&doc, shown] {
            if (doc.busyState() != BusyState::Opening) return;
            doc.fState.songs = shown;
            doc.notifyTracksChanged();
        });
    }

    // What the opening gathered, applied on the main thread in one step.
    void applyOpening(const FolderOpener::FolderOpening& opening) {
        FolderState& s = fDoc.fState;
        fDoc.fDocPath = opening.folder;
        s.songs = opening.songs;
        fDoc.fCustomTag = opening.customTag;
        s.unreadableFiles = opening.unreadable;
        s.detailsFromTags = opening.detailsFromTags;
        s.detailsFromFiles = opening.detailsFromFiles;
        s.infoFromTags = opening.infoFromTags;
        s.infoFromFiles = opening.infoFromFiles;
        if (!opening.lastSearch.isNull()) {
            fDoc.fApplier->restoreAllOriginalTitles();
            fDoc.fApplier->restoreOrigAlbumInfo();
            s.lastSearch = opening.lastSearch;
        }
        fDoc.notifyTracksChanged();
    }

private:
    TrovixDocument& fDoc;
};

TrovixDocument::TrovixDocument(DocumentHost* host, QObject* parent)
    : DocumentBase(host, parent), fNaming(Prefs::namingOptions()),
      fContext(std::make_unique<Context>(*this)),
      fApplier(std::make_unique<AlbumApplier>(*fContext)),
      fTracks(std::make_unique<TrackTableEditor>(*fContext, *fApplier)),
      fBoxSetEditor(std::make_unique<BoxSetEditor>(*fContext, *fApplier)),
      fSaver(std::make_unique<FolderSaver>(*fContext, *fApplier)),
      fPageLookUps(std::make_unique<PageLookUpCommands>(*fContext, *fTracks)) {}

TrovixDocument::~TrovixDocument() {
    joinWorker();
    // The stack's last signals would reach a window that is letting go of us.
    fUndoStack.blockSignals(true);
}

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
    fUndoStack.clear();
    fLock.enter(BusyState::Opening);
    startOperation(true);
}

void TrovixDocument::createWorker(ProgressIndicator* sheet, bool cleanUpOnly) {
    fWorker = std::make_shared<FolderTagThread>(sheet, cleanUpOnly, fSources);
    fWorker->setOneSearchPerSource(fThriftyLookups);
}

int TrovixDocument::alternate() const {
    return fState.variousArtists ? AudioTrack::kVariousArtists : 0;
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
    return fState.albumFields.text(which);
}

// Each field's keystrokes in a row undo as one step. Typing in the artist
// or album field rebuilds the search terms.
void TrovixDocument::setAlbumField(TagField which, const QString& text) {
    recordEdit(
        QStringLiteral("Typing"),
        [&] {
            assertOwner();
            fState.albumFields.setText(which, text.isNull() ? QString(u""_qs) : text);
        },
        int(which));
    if (which == TagField::Artist || which == TagField::Album)
        controlTextDidChange();
    else
        markEdited();
}

void TrovixDocument::setLockAlbumInfo(bool on) {
    recordEdit(QStringLiteral("Lock Album Info"), [&] { fState.lockAlbumInfo = on; });
}

void TrovixDocument::setVariousArtists(bool on) {
    if (!isIdle() || on == fState.variousArtists) return;
    recordEdit(QStringLiteral("Various Artists"), [&] {
        fState.variousArtists = on;
        fApplier->variousArtistsClicked();
    });
}

void TrovixDocument::setReverseArtistTitle(bool on) {
    if (!isIdle() || !fState.variousArtists || on == fState.reverseArtistTitle) return;
    recordEdit(QStringLiteral("Title First"), [&] {
        fState.reverseArtistTitle = on;
        fApplier->reverseArtistAndTitleClicked();
    });
}

QString TrovixDocument::lastSearch() const {
    assertOwner();
    return fState.lastSearch;
}

void TrovixDocument::controlTextDidChange() {
    setSearchTerms(BuildSearchString(albumField(TagField::Artist), albumField(TagField::Album)));
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
    setSearchTerms(BuildSearchString(albumField(TagField::Artist), albumField(TagField::Album)));
    lookupCommon();
}

void TrovixDocument::lookupCommon() {
    if (!fLock.tryEnter(BusyState::LookingUp)) return;
    fCleanUpOnly = false;
    startOperation(false);
}

ScoreWeights TrovixDocument::scoreWeights(const QString& terms) const {
    const AlbumDetailsPtr& tags = fState.detailsFromTags;
    return ScoreRules::folderSearch(terms, tags ? tags->genre() : QString(),
                                    tags ? tags->year() : QString());
}

QString TrovixDocument::getInitialSearchString() const {
    return FolderOpener::initialSearchString(fCustomTag, fState.detailsFromTags);
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

DocumentBase::JobBody TrovixDocument::openJob() {
    const QString folder = fDocPath;
    const std::shared_ptr<FolderTagThread> ftt = fWorker;
    ProgressIndicator* sheet = progress();
    // Read here, once: the worker asks no preference.
    const bool searchCovers = ftt->options().searchCovers;
    const bool smartCap = Prefs::smartCapitalization();
    const bool thrifty = fThriftyLookups;
    const bool webCovers = searchCovers && fWebCovers;
    const FolderOpener::AlertSink alert = [this](const QString& title, const QString& message) {
        postAlert(title, message);
    };
    return [this, folder, ftt, sheet, searchCovers, smartCap, thrifty, webCovers,
            alert]() -> JobResult {
        auto opening = std::make_shared<FolderOpener::FolderOpening>();
        const FolderOpener::FolderListing listing = FolderOpener::recoverAndList(folder, alert);
        // The folder's own pictures, from the listing the scan reads and off
        // the main thread; first, as they rank first among equals.
        QStringList names;
        for (const auto& [name, plainFile] : listing.entries)
            names << name;
        showCovers(AlbumArt::candidatesAmong(listing.folder, names));
        FolderOpener::scanFiles(*opening, listing, sheet, alert);
        // The name-length probe creates files: done here, new names drawn
        // on the main thread find its answer cached.
        FileSystemParams::getFileSystemParams()->maxFileNameLength(opening->folder);
        fContext->showScannedTracks(opening->songs);
        if (!(sheet && sheet->cancelled())) {
            FolderOpener::createAlbumHits(*opening, FolderOpener::findFolderCover(opening->songs),
                                          smartCap);
            showCovers(
                {AlbumArt::candidateFromAlbumInfo(opening->infoFromTags.get(), searchCovers),
                 AlbumArt::candidateFromAlbumInfo(opening->infoFromFiles.get(), searchCovers)});
            const QString terms =
                FolderOpener::initialSearchString(opening->customTag, opening->detailsFromTags);
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
            if (!ftt->cleanUpOnly() && webCovers) showCovers(ftt->retrieveImagesFromAlbumDetails());
            opening->lastSearch = terms;
        }
        ftt->finalize();
        return [this, opening] { fContext->applyOpening(*opening); };
    };
}

DocumentBase::JobBody TrovixDocument::lookupJob(const QString& terms) {
    const std::shared_ptr<FolderTagThread> ftt = fWorker;
    // The window reads the document's own folder hits meanwhile: the worker
    // gets copies.
    const AlbumInfoPtr fromTags = pseudoHit(fState.infoFromTags);
    const AlbumInfoPtr fromFiles = pseudoHit(fState.infoFromFiles);
    const AlbumDetailsPtr tagDetails = fState.detailsFromTags;
    const int count = int(fState.songs.count());
    const bool searchCovers = ftt->options().searchCovers;
    const SearchTerms asked =
        SearchTerms::matching(terms, albumField(TagField::Artist), albumField(TagField::Album));
    const bool webCovers = searchCovers && fWebCovers;
    std::optional<MatchDistance::Folder> thrifty;
    if (fThriftyLookups)
        thrifty = MatchDistance::Folder::fromTracks(fState.songs, fState.detailsFromTags.get(),
                                                    fState.detailsFromFiles.get());
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
        return [this, terms] { fState.lastSearch = terms; };
    };
}

void TrovixDocument::takeWorkerResults() {
    const std::shared_ptr<AlbumInfoArray> hits = fWorker ? fWorker->hits() : nullptr;
    const std::optional<CustomTag> tag = customTag();
    if (tag && !tag->variousArtist().isEmpty() && !fState.variousArtists) {
        fState.variousArtists = true;
        fApplier->variousArtistsClicked();
    }
    if (tag && tag->reverseArtistAlbum() && !fState.reverseArtistTitle) {
        fState.reverseArtistTitle = true;
        fApplier->reverseArtistAndTitleClicked();
    }
    fApplier->restoreOrigAlbumInfo();
    if (fWorker && fWorker->cleanUpOnly()) {
        fApplier->restoreAllOriginalTitles();
    } else {
        fState.hitTable.setAlbumArray(hits && !hits->isEmpty() ? hits : nullptr);
        fApplier->forceSelectOfAlbum(hits && !hits->isEmpty() ? 0 : -1);
    }
    // The covers the hits name were fetched by the worker; fetching them here
    // again would block the main thread and list each one twice.
    fAlbumArtObj->reset();
    // The hits an undo would select again are gone.
    fUndoStack.clear();
}

TrackTagPlan TrovixDocument::tagPlan() const {
    assertOwner();
    return TrackTagPlan(fState.albumFields, fState.variousArtists, fState.songs);
}

// Saving ---------------------------------------------------------------------

void TrovixDocument::saveDocument() {
    fSaver->saveDocument();
}

bool TrovixDocument::saveWouldWrite() const {
    return fSaver->saveWouldWrite();
}

DocumentBase::JobBody TrovixDocument::saveJob() {
    fSaveFailures.clear();
    const SaveOptions options = SaveOptions::fromPrefs();
    auto request = std::make_shared<SaveRequest>(fSaver->makeSaveRequest(options));
    ProgressIndicator* sheet = progress();
    // The cover shown now; its bytes are made on the worker, where scaling
    // and encoding a large picture does not hold up the window.
    const AlbumArt::ShownCover shown =
        fAlbumArtObj ? fAlbumArtObj->shownCover() : AlbumArt::ShownCover();
    return [this, request, sheet, shown, cover = options.cover]() -> JobResult {
        if (!request->files.isEmpty() && fAlbumArtObj) {
            // The files' own picture formats, each once.
            QList<QByteArray> formats;
            for (const SaveRequest::File& f : request->files)
                if (!formats.contains(f.pictureFormat)) formats << f.pictureFormat;
            SaveOptions::setCover(
                *request, fAlbumArtObj->coverToStore(shown, request->folder, formats, cover));
        }
        auto report = std::make_shared<SaveReport>(request->run(sheet));
        return [this, report]() mutable {
            fSaver->applySaveReport(*report);
            Disposal::later(std::move(report));
        };
    };
}

#include "moc_TrovixDocument.cpp"
