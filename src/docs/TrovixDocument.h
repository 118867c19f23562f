#pragma once

#include "docs/AlbumApplier.h"
#include "docs/BoxSetEditor.h"
#include "docs/DocumentBase.h"
#include "docs/DocumentSnapshot.h"
#include "docs/FolderSaver.h"
#include "docs/FolderState.h"
#include "docs/PageLookUpCommands.h"
#include "docs/TrackTableEditor.h"
#include "docs/TrackTagPlan.h"
#include "model/AlbumInfo.h"
#include "model/NamingOptions.h"

#include <QString>

#include <memory>

class FolderTagThread;

// The document of one album folder: its track records, the four album fields
// that every file will receive, the ranked album hits, the box set and the
// background work of opening and looking up. It knows no widgets: the window,
// the command line and the tests drive it through the same calls and hear
// back through a DocumentHost.
//
// It owns the state (FolderState) and the jobs; its collaborators carry the
// commands: tracks() the track table, applier() the hits and applying an
// album, boxSetEditor() the box set, saver() the save's checks and report,
// pageLookUps() the Web menu. They reach the document only through the
// FolderContext it implements.
//
// It lives on the main thread, which alone reads and changes its records,
// fields and hits. At most one job runs at a time, serialised by the busy
// state: an opening, look-up or save takes copies made on the main thread
// and returns its result by value, applied on the main thread when the job
// has ended (jobFinished; waitUntilIdle() where no event loop runs).
class TrovixDocument : public DocumentBase {
    Q_OBJECT
public:
    // Private clipboard and drag types.
    static inline const QString kTrackRowsType = QStringLiteral("org.trovix.Trovix.1");
    static inline const QString kTracksType = QStringLiteral("org.trovix.AudioTrack2");
    static inline const QString kBoxSetRowsType = QStringLiteral("org.trovix.Trovix.MultiCD");

    explicit TrovixDocument(DocumentHost* host, QObject* parent = nullptr);
    // Waits for a running worker.
    ~TrovixDocument() override;

    // The collaborators (see above); each lives as long as the document.
    TrackTableEditor& tracks() const { return *fTracks; }
    AlbumApplier& applier() const { return *fApplier; }
    BoxSetEditor& boxSetEditor() const { return *fBoxSetEditor; }
    FolderSaver& saver() const { return *fSaver; }
    PageLookUpCommands& pageLookUps() const { return *fPageLookUps; }

    // Opening and identity -------------------------------------------------
    // Starts opening the folder; a path that is not a folder leaves the
    // document empty.
    void setDocumentPath(const QString& path, bool cleanUpOnly);
    // The naming-template flag of the album's mode.
    int alternate() const;
    // The naming settings the window draws new names with: read when the
    // document is made and again when the settings change, not per cell.
    const NamingOptions& naming() const { return fNaming; }

    // Album fields ----------------------------------------------------------
    // The artist, album, genre and year every file will receive.
    const TagValues& albumFields() const {
        assertOwner();
        return fState.albumFields;
    }
    QString albumField(TagField which) const;
    // Typing in the artist or album field rebuilds the search terms.
    void setAlbumField(TagField which, const QString& text);
    bool lockAlbumInfo() const { return fState.lockAlbumInfo; }
    void setLockAlbumInfo(bool on);
    bool variousArtists() const { return fState.variousArtists; }
    bool reverseArtistTitle() const { return fState.reverseArtistTitle; }
    // The two check boxes; the reverse box is usable only in various-artists
    // mode.
    void setVariousArtists(bool on);
    void setReverseArtistTitle(bool on);

    QString lastSearch() const;

    // Tracks ----------------------------------------------------------------
    const AudioTrackArray& trackArray() const {
        assertOwner();
        return fState.songs;
    }
    // What a save would write to each file, as things stand.
    TrackTagPlan tagPlan() const;
    void prefsChanged() override;
    void controlTextDidChange() override;

    // Look-up ---------------------------------------------------------------
    // Terms from the artist and album fields, then a look-up.
    void mainLookup();
    // A look-up with the search terms; dropped while busy.
    void lookupCommon();
    ScoreWeights scoreWeights(const QString& terms) const;
    QString getInitialSearchString() const;
    std::shared_ptr<FolderTagThread> worker() const { return fWorker; }
    // A library run's look-ups search each source once and fetch the
    // details of one hit per source (FolderTagThread::retrieveNearestTracks)
    // instead of every hit's.
    void setThriftyLookups(bool on) { fThriftyLookups = on; }
    // Off: look-ups fetch no cover images from the web (a library plan saves
    // nothing, so it needs none).
    void setWebCovers(bool on) { fWebCovers = on; }

    const HitTable& hitTable() const {
        assertOwner();
        return fState.hitTable;
    }

    // Undo ------------------------------------------------------------------
    // An edit changes the tracks, fields and boxes; a change of the box set
    // ends the history too.
    DocumentSnapshot snapshot() const;
    void restoreSnapshot(const DocumentSnapshot& state);

    void takeWorkerResults() override;
    void saveDocument() override;
    bool saveWouldWrite() const override;

protected:
    void createWorker(ProgressIndicator* sheet, bool cleanUpOnly) override;
    JobBody saveJob() override;
    JobBody openJob() override;
    JobBody lookupJob(const QString& terms) override;
    LookupWorker* currentWorker() const override;
    void typingIdle() override;
    void saveSucceeded() override;
    std::shared_ptr<const EditState> editState() override;

private:
    // The FolderContext the collaborators are given; defined with the
    // document's code.
    class Context;

    // Owned by the main thread, like everything below: workers get copies
    // when they start and hand back values.
    FolderState fState;
    bool fThriftyLookups = false;
    bool fWebCovers = true;
    std::shared_ptr<FolderTagThread> fWorker;
    NamingOptions fNaming;
    mutable SnapshotRecords fSnapshotRecords;

    std::unique_ptr<Context> fContext;
    std::unique_ptr<AlbumApplier> fApplier;
    std::unique_ptr<TrackTableEditor> fTracks;
    std::unique_ptr<BoxSetEditor> fBoxSetEditor;
    std::unique_ptr<FolderSaver> fSaver;
    std::unique_ptr<PageLookUpCommands> fPageLookUps;
};
