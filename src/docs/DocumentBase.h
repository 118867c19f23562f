#pragma once

#include "docs/BusyState.h"
#include "docs/EditHistory.h"
#include "docs/LookupSources.h"
#include "save/SaveReport.h"
#include "tags/CustomTag.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class AlbumArt;
class AlbumArtDict;
class DocumentHost;
class EditState;
class LookupWorker;
class ProgressIndicator;
class TypingMonitor;

// What the folder document and the single-file document share: the busy
// state and the one job it serialises, whose end arrives as a signal on the
// main thread, the typing monitor, the host that shows alerts and progress,
// the cover-art object, and the rules for closing after a save. No widgets.
//
// A derived document must call joinWorker() in its own destructor, since the
// job runs its member functions.
class DocumentBase : public QObject {
    Q_OBJECT
public:
    // A file the save could not write, rename or move, and why.
    using SaveFailure = SaveReport::Failure;

    explicit DocumentBase(DocumentHost* host, QObject* parent = nullptr);
    ~DocumentBase() override;

    DocumentHost* host() const { return fHost; }
    // The sources look-ups ask; the real sites by default.
    void setSources(LookupSources sources) { fSources = std::move(sources); }

    QString docPath() const;
    // The last component of the path.
    QString displayName() const;
    bool cleanUpOnly() const { return fCleanUpOnly; }

    // Busy state ----------------------------------------------------------
    BusyState::State busyState() const { return fLock.state(); }
    bool isIdle() const { return fLock.isIdle(); }
    // Every command of the document is refused while busy.
    bool commandsEnabled() const { return isIdle(); }
    // Runs an event loop until the running job has ended and its end has
    // been handled (results shown, alerts delivered); for the command line
    // and tests. Returns at once when no job runs.
    void waitUntilIdle();
    // Whether a job (open, look-up or save) runs or its end is not handled.
    bool jobRunning() const { return fJobRunning; }
    // A close request: refused (false) while busy; otherwise the document
    // stops its timers and may be destroyed.
    bool requestClose();
    // The end of an open or look-up, once the worker has finished.
    void checkThreadStatus();

private slots:
    // The job's finished signal (main thread).
    void jobEnded();

public:
    QString searchTerms() const;
    // The search sheet's text, edited before OK.
    void setSearchTerms(const QString& terms);
    std::optional<CustomTag> customTag() const;
    AlbumArt* albumArt() const { return fAlbumArtObj.get(); }

    // Typing monitor: the edit counter (-1 stops it) and the hold flag.
    int keyHit() const { return fKeyHit.load(); }
    bool holdTypingMonitor() const { return fHoldTypingMonitor.load(); }
    TypingMonitor* typingMonitor() const { return fTypingMonitor.get(); }

    // A field that feeds the search terms changed.
    virtual void controlTextDidChange() = 0;
    virtual void prefsChanged() = 0;
    // The save command: the checks, then the save on a worker.
    virtual void saveDocument() = 0;
    // Whether a save now would change a tag (letter case counts) or a file
    // or folder name: the window's edited mark. Idle documents only.
    virtual bool saveWouldWrite() const = 0;
    // Waits until idle, enters saving and runs the save's job on a worker.
    void saveAll();
    // The close confirmation's "Save": the save, and the close once it has
    // succeeded. A check that stops it leaves the document open with its
    // alert.
    void saveDocumentWithDelegate();
    // Undo ----------------------------------------------------------------
    // The user's edits since the document was opened, looked up or saved
    // (files on disk are not unwritten). Undo and redo are refused while
    // busy.
    EditHistory& undoStack() { return fUndoStack; }
    // A document nobody can undo in (one of a library run) keeps no history:
    // each kept edit copies what it may change twice.
    void setKeepsHistory(bool keeps) { fKeepsHistory = keeps; }
    void undo();
    void redo();

    // Whether the last save ran to its end with every file written.
    bool lastSaveSucceeded() const { return fLastSaveOK.load(); }
    QList<SaveFailure> lastSaveFailures() const;

signals:
    // A save-then-close has closed the document: the window goes away.
    void closedAfterSave();
    // The running job has ended and its end has been handled.
    void jobFinished();

protected:
    // The worker of the current open or look-up; null before the first.
    virtual LookupWorker* currentWorker() const = 0;
    // Takes over what the finished worker gathered (main thread).
    virtual void takeWorkerResults() = 0;
    // Once the hits of a finished operation have been redrawn.
    virtual void hitsShown() {}
    // Typing stopped a moment ago: redraw what the fields feed.
    virtual void typingIdle() = 0;
    // Every file of a save was written (main thread): the history ends.
    virtual void saveSucceeded() { fUndoStack.clear(); }
    // What an edit may change, taken now (EditState::of(this)).
    virtual std::shared_ptr<const EditState> editState() = 0;
    // Runs an edit and keeps it on the undo stack when a save would see a
    // difference. Edits with the same merge id in a row (typing in one
    // field) are one step; an edit inside another is part of it; while busy
    // the edit is made but not kept (the job's end ends the history).
    void recordEdit(const QString& text, const std::function<void()>& edit, int mergeId = -1);

    // Starts an opening (openJob) or a look-up with the current terms
    // (lookupJob) on a new worker.
    void startOperation(bool opening);
    // Makes the worker of the next open or look-up.
    virtual void createWorker(ProgressIndicator* sheet, bool cleanUpOnly) = 0;
    // What a job hands back: run on the main thread once the job has ended,
    // before anything else learns of its end.
    using JobResult = std::function<void()>;
    using JobBody = std::function<JobResult()>;
    // Made on the main thread when a save, an opening or a look-up starts:
    // the body gets copies of what it needs and touches no document state;
    // its result applies what it found on the main thread in one step.
    virtual JobBody saveJob() = 0;
    virtual JobBody openJob() = 0;
    virtual JobBody lookupJob(const QString& terms) = 0;
    void startJob(JobBody body);
    // Runs `call` on the main thread: at once there, else queued.
    void onMain(std::function<void()> call);
    // Adds the cover candidates a worker made (AlbumArt::candidateFrom…)
    // on the main thread: the cover object is never changed by a worker.
    void showCovers(QList<std::shared_ptr<AlbumArtDict>> covers);
    void customEvent(QEvent* event) override;
    // Blocks until the job's body has returned; for destructors only.
    void joinWorker();
    // The progress of the running operation.
    ProgressIndicator* progress() const;
    // Thread-safe notices to the host: from a worker they are posted to the
    // main thread.
    void notifyTracksChanged();
    void notifyHitsChanged();
    void markEdited(bool edited = true);
    void syncWindowTitle();
    void closeProgressSheet();
    bool onMainThread() const;
    // Document state belongs to the main thread; its accessors check that
    // in debug builds.
    void assertOwner() const {
        Q_ASSERT_X(onMainThread(), "DocumentBase", "document state touched off the main thread");
    }
    // Counts an edit for the typing monitor.
    void bumpKeyHit();
    // An "OK" alert; from a worker it reaches the host on the main thread.
    void postAlert(const QString& title, const QString& message);
    // The end of a save that got as far as writing: marks the document saved
    // when every file was written, else names the files in one alert.
    void concludeSave();

    DocumentHost* fHost;
    LookupSources fSources;
    // Owned by the main thread, like the derived documents' state.
    QString fDocPath;
    BusyState fLock;
    std::atomic<int> fKeyHit{0};
    std::atomic<bool> fHoldTypingMonitor{false};
    QString fSearchTerms;
    std::optional<CustomTag> fCustomTag;
    std::unique_ptr<AlbumArt> fAlbumArtObj;
    bool fCleanUpOnly = false;

    std::unique_ptr<TypingMonitor> fTypingMonitor;
    QFutureWatcher<void> fJob;
    std::shared_ptr<JobResult> fJobResult;
    bool fJobRunning = false;
    // The running job's progress sheet, asked for on the main thread.
    ProgressIndicator* fJobProgress = nullptr;
    // The close confirmation's save is under way: close when it succeeds.
    bool fCloseAfterSave = false;
    // An open or look-up has started and its end has not been handled yet.
    bool fAwaitingWorker = false;
    bool fClosed = false;

    EditHistory fUndoStack;
    int fRecording = 0; // nested edits are part of the outer one
    bool fKeepsHistory = true;

    QList<SaveFailure> fSaveFailures; // filled from the save's report
    std::atomic<bool> fLastSaveOK{false};
};
