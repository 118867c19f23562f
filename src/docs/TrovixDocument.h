#pragma once

#include "docs/BoxSet.h"
#include "docs/DocumentBase.h"
#include "docs/PageLookUp.h"
#include "docs/DocumentSnapshot.h"
#include "docs/HitTable.h"
#include "docs/TrackTableModel.h"
#include "docs/TrackTagPlan.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "model/MatchDistance.h"
#include "model/NamingOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class FolderTagThread;
struct SaveOptions;
struct SaveReport;
struct SaveRequest;

// The document of one album folder: its track records, the four album fields
// that every file will receive, the ranked album hits, the box set and the
// background work of opening and looking up. It knows no widgets: the window,
// the command line and the tests drive it through the same calls and hear
// back through a DocumentHost.
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

    struct CommandState {
        bool enabled = false;
        QString title; // set when enabled
    };

    explicit TrovixDocument(DocumentHost* host, QObject* parent = nullptr);
    // Waits for a running worker.
    ~TrovixDocument() override;

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
        return fAlbumFields;
    }
    QString albumField(TagField which) const;
    QString artistField() const { return albumField(TagField::Artist); }
    QString albumField() const { return albumField(TagField::Album); }
    QString genreField() const { return albumField(TagField::Genre); }
    QString yearField() const { return albumField(TagField::Year); }
    // Typing in the artist or album field rebuilds the search terms.
    void setAlbumField(TagField which, const QString& text);
    void setArtistField(const QString& text) { setAlbumField(TagField::Artist, text); }
    void setAlbumField(const QString& text) { setAlbumField(TagField::Album, text); }
    void setGenreField(const QString& text) { setAlbumField(TagField::Genre, text); }
    void setYearField(const QString& text) { setAlbumField(TagField::Year, text); }
    bool lockAlbumInfo() const { return fLockAlbumInfo; }
    void setLockAlbumInfo(bool on);
    bool variousArtists() const { return fVariousArtists; }
    bool reverseArtistTitle() const { return fReverseArtistTitle; }
    // The reverse box is usable only in various-artists mode.
    bool reverseArtistTitleEnabled() const { return fVariousArtists; }
    // The two check boxes.
    void setVariousArtists(bool on);
    void setReverseArtistTitle(bool on);

    QString lastSearch() const;

    // Track table -----------------------------------------------------------
    const AudioTrackArray& trackArray() const {
        assertOwner();
        return fSongs;
    }
    qsizetype numberOfRows() const;
    // The artist column shows in various-artists mode and whenever a track
    // is credited apart from the album.
    QStringList trackColumns() const;
    // What a save would write to each file, as things stand.
    TrackTagPlan tagPlan() const;
    TrackTableModel::Cell cellValue(qsizetype row, const QString& column);
    // The user starts editing a cell: the typing monitor holds off meanwhile.
    bool shouldEditTableColumn(qsizetype row, const QString& column);
    void setObjectValue(qsizetype row, const QString& column, const QString& value);
    // An edit was abandoned without a value.
    void endCellEditing();
    void didClickTableColumn(const QString& column);
    QString getNewTrack(qsizetype row) const;
    void indexTracks();
    void tracksChanged(bool reorder);
    void prefsChanged() override;

    // The track selection, ascending rows; the view mirrors it.
    QList<qsizetype> selectedTracks() const { return fSelectedTracks; }
    void setSelectedTracks(QList<qsizetype> rows);
    AudioTrackRef firstSelectedTrack() const;

    // Track edits: delete, cut, copy, paste of records, row drags.
    void clearTracks();
    QByteArray copyTracks() const;
    QByteArray cutTracks();
    // What a paste did. Records whose file is already listed, or that
    // belong to another folder, are refused: each file is tagged once, and
    // a save here must never rename a file of another folder.
    struct PasteResult {
        bool readable = false; // false for content that cannot be read
        qsizetype pasted = 0;
        QString refusal; // a line for the status area; null when none was refused
    };
    // Appends the records of a ".AudioTrack2" clipboard content and selects
    // them.
    PasteResult pasteTracks(const QByteArray& data);
    static QByteArray encodeTracks(const QList<AudioTrackRef>& tracks);
    static std::optional<QList<AudioTrack>> decodeTracks(const QByteArray& data);
    // Drops are taken between rows only.
    static bool validateDrop(bool ontoRow) { return !ontoRow; }
    void acceptTrackDrop(const QList<qsizetype>& rows, qsizetype dropRow);

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

    CommandState validateLookUp(const PageLookUp& command) const;
    void lookUp(const PageLookUp& command);
    QString lookUpText(PageLookUp::What what) const;

    // Hits ------------------------------------------------------------------
    const HitTable& hitTable() const {
        assertOwner();
        return fHitTable;
    }
    int selectedHitRow() const { return fHitTable.selectedRow(); }
    // The result key of the selected hit, null when none is selected.
    QString selectedHitKey() const { return fHitTable.resultKey(); }
    // Gives the hits table a list (null for none); the selection is cleared.
    void setAlbumHits(const std::shared_ptr<AlbumInfoArray>& hits);
    // A click on (or a key moving the selection to) a hit row.
    void handleHitClick(int row);
    void forceSelectOfAlbum(int row);
    void selectAlbumDetailsViaClick(int row, const AlbumInfoPtr& hit);
    bool sortHits(const QString& column);

    AlbumDetailsPtr currentAlbumDetails() const { return fCurrentAlbumDetails; }
    // The folder's own hits, from its tags and its file names.
    AlbumDetailsPtr albumDetailsFromTags() const {
        assertOwner();
        return fAlbumDetailsFromTags;
    }
    AlbumDetailsPtr albumDetailsFromFiles() const {
        assertOwner();
        return fAlbumDetailsFromFiles;
    }
    AlbumInfoPtr albumInfoFromTags() const {
        assertOwner();
        return fAlbumInfoFromTags;
    }
    AlbumInfoPtr albumInfoFromFiles() const {
        assertOwner();
        return fAlbumInfoFromFiles;
    }

    // What the match distance compares hits with: the files in the list and
    // the album their tags and names tell.
    MatchDistance::Folder matchFolder() const;

    // Applying an album -----------------------------------------------------
    // The details in force: the box set followed by the chosen album, or the
    // chosen album alone.
    AlbumDetailsPtr albumDetails(bool appendCurrent) const;
    void applyAlbumInfo(const AlbumInfo& hit);
    void applyAlbumDetails(bool appendCurrent, bool reorder);
    // True when the artist was set too (various-artists mode). The naming
    // options and the capitalization switch are read once per run of
    // records by the caller.
    bool applyTitleToNewTitle(const QString& title, const QString& artist, AudioTrack& track,
                              const NamingOptions& naming, bool smart);
    void copyOldTitlesToNew(bool onlyBlank, bool onlySelected);
    void restoreAllOriginalTitles() { copyOldTitlesToNew(false, false); }
    void restoreOneOriginalTitle();
    void restoreOrigAlbumInfo();
    void variousArtistsClicked();
    void reverseArtistAndTitleClicked();

    // Box set ---------------------------------------------------------------
    const BoxSet& boxSet() const { return fBoxSet; }
    // Appends the chosen album to the box set; nothing without one.
    void showMultiCDPanel();
    // The sheet's OK: the caption is brought up to date.
    void multiCDPanelOK();
    QString multiCDRubric() const { return fMultiCDRubric; }
    void removeBoxSetRows(const QList<qsizetype>& rows);
    void acceptBoxSetDrop(const QList<qsizetype>& rows, qsizetype dropRow);

    // Undo ------------------------------------------------------------------
    // An edit changes the tracks, fields and boxes; a change of the box set
    // ends the history too.
    DocumentSnapshot snapshot() const;
    void restoreSnapshot(const DocumentSnapshot& state);

    // What an opening gathered on the worker, applied on the main thread
    // in one step.
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
    static QString initialSearchString(const std::optional<CustomTag>& tag,
                                       const AlbumDetailsPtr& tags);

    // The worker's steps of an opening; they touch no document state.
    // Before the scan: finishes what an interrupted save left (rollback
    // bytes, a rename journal) and tells the user; answers where the folder
    // is now. Skipped while another save holds the folder.
    QString recoverFolder(const QString& folder);
    // Lists the folder's music files; names that are not UTF-8 are named
    // in an alert.
    void scanFiles(FolderOpening& opening);
    // The first picture in the files' tags that decodes, decoded once for
    // both folder hits.
    struct FolderCover {
        QImage image;
        QByteArray bytes;
        QString path; // of the file whose tags hold it
    };
    static FolderCover findFolderCover(const AudioTrackArray& songs);
    // The window shows the scanned files while the web is asked (worker).
    void showScannedTracks(const AudioTrackArray& songs);
    static void createAlbumHits(FolderOpening& opening, const FolderCover& cover, bool smartCap);
    void takeWorkerResults() override;

    // ==== Saving (TrovixDocumentSave.cpp) ====================================
public:
    // The save command: the checks in order, the first failing one an alert;
    // when all pass, saveAll. Refused while busy.
    void saveDocument() override;
    bool saveWouldWrite() const override;
    // Answers to the check questions (button index): answerSaveAnyway saves on
    // "Yes"; answerBlankTitles is "Cancel", "Save Others" or "Use Old Titles".
    void answerSaveAnyway(int button);
    void answerBlankTitles(int button);
    // The save request, made on the main thread: the new tags and names of
    // every file to write, with the options.
    SaveRequest makeSaveRequest(const SaveOptions& options);
    // The save's result, applied on the main thread in one step: records,
    // names, the folder's path, alerts, failures.
    void applySaveReport(const SaveReport& report);
    // After a save the folder's own hits (tags, names) tell what is on disk.
    void refreshFolderHits();
    // ==== end of saving ======================================================

protected:
    void createWorker(ProgressIndicator* sheet, bool cleanUpOnly) override;
    JobBody saveJob() override;
    JobBody openJob() override;
    JobBody lookupJob(const QString& terms) override;
    LookupWorker* currentWorker() const override;
    void typingIdle() override;
    void saveSucceeded() override;
    std::shared_ptr<const EditState> editState() override;
    bool trackSelected(qsizetype row) const { return fSelectedTracks.contains(row); }

    // Owned by the main thread, like everything below: workers get copies
    // when they start and hand back values.
    TagValues fAlbumFields; // artist, album, genre, year
    bool fLockAlbumInfo = false;
    bool fVariousArtists = false;
    bool fReverseArtistTitle = false;
    bool fThriftyLookups = false;
    bool fWebCovers = true;

    AlbumDetailsPtr fCurrentAlbumDetails;
    QString fLastSearch;
    BoxSet fBoxSet;
    QString fMultiCDRubric;
    std::shared_ptr<FolderTagThread> fWorker;
    AudioTrackArray fSongs;
    QStringList fUnreadableFiles; // music-named files the last scan could not open
    AlbumDetailsPtr fAlbumDetailsFromTags;
    NamingOptions fNaming;
    AlbumDetailsPtr fAlbumDetailsFromFiles;
    AlbumInfoPtr fAlbumInfoFromTags;
    AlbumInfoPtr fAlbumInfoFromFiles;

    HitTable fHitTable;
    QList<qsizetype> fSelectedTracks;

private:
    bool refuseWhileBusy() const { return !isIdle(); }
    void reportUnreadableFiles(const QStringList& names);
    void applyOpening(const FolderOpening& opening);
    static QString unreadableMessage(const QStringList& names);

    mutable SnapshotRecords fSnapshotRecords;
};
