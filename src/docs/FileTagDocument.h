#pragma once

#include "docs/DocumentBase.h"
#include "docs/PageLookUp.h"
#include "docs/FileTagSnapshot.h"
#include "docs/HitTable.h"
#include "docs/StatusDecisions.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrack.h"
#include "model/TrackDetails.h"
#include "model/TrackInfoArray.h"
#include "save/SaveRequest.h"
#include "system/AlertHost.h"

#include <QString>

#include <memory>

class FileTagThread;
struct SaveOptions;

// The document of one audio file, tagged from song searches: editable
// fields (title, track, track count, album, artist, genre, year), the file's
// record, and the ranked song hits. Choosing a hit fills the fields; saving
// writes the fields into the file and may rename it. It shares the busy
// state, worker, status timer, typing monitor, host and closing rules of the
// folder document through DocumentBase.
class FileTagDocument : public DocumentBase {
    Q_OBJECT
public:
    // The look-ups on All Music Guide's own search page.
    struct CommandState {
        bool enabled = false;
        QString title; // set when enabled
    };

    explicit FileTagDocument(DocumentHost* host, QObject* parent = nullptr);
    // Waits for a running worker.
    ~FileTagDocument() override;

    // Starts opening the file; a missing path or a folder leaves the
    // document empty.
    void setDocumentPath(const QString& path, bool cleanUpOnly);

    // Fields --------------------------------------------------------------
    // The typed-in values, as a save writes them.
    const TagValues& fields() const {
        assertOwner();
        return fFields;
    }
    QString field(TagField which) const;
    QString titleField() const { return field(TagField::Title); }
    QString trackField() const { return field(TagField::Track); }
    QString countField() const { return field(TagField::TrackCount); }
    QString albumField() const { return field(TagField::Album); }
    QString artistField() const { return field(TagField::Artist); }
    QString genreField() const { return field(TagField::Genre); }
    QString yearField() const { return field(TagField::Year); }
    // Each edit counts for the typing monitor and rebuilds the search terms.
    void setField(TagField which, const QString& text);
    void setTitleField(const QString& text) { setField(TagField::Title, text); }
    void setTrackField(const QString& text) { setField(TagField::Track, text); }
    void setCountField(const QString& text) { setField(TagField::TrackCount, text); }
    void setAlbumField(const QString& text) { setField(TagField::Album, text); }
    void setArtistField(const QString& text) { setField(TagField::Artist, text); }
    void setGenreField(const QString& text) { setField(TagField::Genre, text); }
    void setYearField(const QString& text) { setField(TagField::Year, text); }
    void controlTextDidChange() override;
    void prefsChanged() override;
    // The typing monitor's idle step: the record follows the title, artist
    // and track fields (the status picture then shows what saving will do).
    void updateSongFromFields();

    // The file's record; null before the file was scanned.
    AudioTrackRef song() const;
    // The values typed into the fields, as a song hit.
    TrackInfoPtr typedInTrackInfo() const;
    // What saving will change: the file against the fields, and a song hit
    // against the file.
    StatusRow fileStatus() const;
    StatusRow hitStatus(const TrackInfo& hit) const;

    // Score weights ---------------------------------------------------------
    ScoreWeights scoreWeights() const;
    // The weights the hits table ranks by once a search is done.
    ScoreWeights rerankWeights() const;

    // Look-up ---------------------------------------------------------------
    // Terms from the artist and title fields, then a look-up.
    void mainLookup();
    // A look-up with the search terms (the search sheet's OK).
    void sheetLookup() { lookupCommon(false); }
    // Dropped while busy.
    void lookupCommon(bool cleanUpOnly);
    // The tag hit's artist, " / ", the record's old title.
    QString getInitialSearchString() const;
    std::shared_ptr<FileTagThread> worker() const { return fWorker; }

    CommandState validateLookUp(const PageLookUp& command) const;
    void lookUp(const PageLookUp& command);

    // Song hits -------------------------------------------------------------
    const HitTable& hitTable() const {
        assertOwner();
        return fHitTable;
    }
    qsizetype hitCount() const { return hitTable().count(); }
    TrackInfoPtr hitAt(qsizetype row) const;
    int selectedHitRow() const { return hitTable().selectedRow(); }
    // A click on (or a key moving the selection to) a hit row applies it.
    void handleHitClick(int row);
    // Selects a row (negative: none) without applying it.
    void forceSelectOfTrack(int row);
    void selectAlbumDetailsViaClick(const TrackInfoPtr& hit);
    // Re-ranks the hits against the typed-in values and shows them.
    void createTrackArray(const std::shared_ptr<TrackInfoArray>& hits, const TrackInfo& entered);
    void clearHits();
    bool sortHits(const QString& column);

    TrackDetailsPtr trackDetailsFromTag() const;
    TrackDetailsPtr trackDetailsFromFile() const;
    TrackInfoPtr trackInfoFromTag() const;
    TrackInfoPtr trackInfoFromFile() const;

    // Applying ----------------------------------------------------------------
    // Fills the fields from a hit.
    void applyAlbumDetails(const TrackInfo& hit);
    // The fields as the file's tags have them.
    void restoreOrigAlbumInfo();
    // The old title becomes the new one (with `onlyBlank`, only when there is
    // no new title yet).
    void copyOldTitlesToNew(bool onlyBlank);

    // Undo (FileTagDocumentUndo.cpp) -------------------------------------------
    // An edit changes the fields and the record.
    FileTagSnapshot snapshot() const;
    void restoreSnapshot(const FileTagSnapshot& state);

    // What an opening gathered on the worker, applied on the main thread in
    // one step.
    struct FileOpening {
        QString path; // where the file is after finishing an interrupted save
        QList<Alert> alerts;
        AudioTrackRef song;
        std::optional<CustomTag> customTag;
        TrackDetailsPtr detailsFromTag;
        TrackDetailsPtr detailsFromFile;
        TrackInfoPtr infoFromTag;
        TrackInfoPtr infoFromFile;
        QString terms; // null when the scan was cancelled
        std::shared_ptr<TrackInfoArray> hits;
    };
    // The worker's steps of an opening; they touch no document state.
    // Before the scan: finishes what an interrupted save left in the file's
    // folder and answers where the file now is, following it to its new
    // name. Skipped while another save holds the folder.
    static QString recoverFolder(const QString& path, QList<Alert>* alerts);
    // Both hits from the file, with the cover its tags store (none when its
    // header does not state a size).
    static void createTrackHits(FileOpening& opening, const QByteArray& cover, bool smartCap);
    // The tag hit's artist, " / ", the record's old title.
    static QString initialSearchString(const TrackInfoPtr& fromTag, const QString& oldTitle);
    void takeWorkerResults() override;

    // Saving (FileTagDocumentSave.cpp) ----------------------------------------
    // The checks in order; the first that fails is an alert. The missing-
    // fields warning does not stop the save.
    void saveDocument() override;
    bool saveWouldWrite() const override;
    // The save request, made on the main thread: a request of one file (none
    // when there is nothing to write) with the fields as tags and its new
    // name.
    SaveRequest makeSaveRequest(const SaveOptions& options) const;
    // The save's result, applied on the main thread in one step: the record,
    // the path, alerts, failures.
    void applySaveReport(const SaveRequest& request, const SaveReport& report);

protected:
    void createWorker(ProgressIndicator* sheet, bool cleanUpOnly) override;
    JobBody openJob() override;
    JobBody lookupJob(const QString& terms) override;
    JobBody saveJob() override;
    LookupWorker* currentWorker() const override;
    void hitsShown() override;
    void typingIdle() override;
    std::shared_ptr<const EditState> editState() override;

private:
    void applyOpening(const FileOpening& opening);
    // The track field's number; 0 when empty or not a number.
    static int numberOf(const QString& field);

    // Owned by the main thread, like everything below: workers get copies
    // when they start and hand back values.
    TagValues fFields;

    std::shared_ptr<FileTagThread> fWorker;
    HitTable fHitTable;
    AudioTrackRef fSong;
    TrackDetailsPtr fTrackDetailsFromTag;
    TrackDetailsPtr fTrackDetailsFromFile;
    TrackInfoPtr fTrackInfoFromTag;
    TrackInfoPtr fTrackInfoFromFile;
    // The hits the last opening or look-up found, until they are shown.
    std::shared_ptr<TrackInfoArray> fFoundHits;
};
