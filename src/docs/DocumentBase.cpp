#include "docs/DocumentBase.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/EditState.h"
#include "docs/LookupWorker.h"
#include "docs/TypingMonitor.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "system/QueuedCall.h"
#include "system/ThreadHandover.h"
#include "web/DownHosts.h"
#include "web/LookupDeadline.h"
#include "web/sources/SourceOptions.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QPromise>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <climits>
#include <utility>

DocumentBase::DocumentBase(DocumentHost* host, QObject* parent)
    : QObject(parent), fHost(host), fSources(LookupSources::standard()),
      fAlbumArtObj(std::make_unique<AlbumArt>()) {
    fTypingMonitor = std::make_unique<TypingMonitor>([this] { return keyHit(); },
                                                     [this] { return holdTypingMonitor(); },
                                                     [this] { typingIdle(); });
    fTypingMonitor->start();
    connect(&fJob, &QFutureWatcherBase::finished, this, &DocumentBase::jobEnded);
    connect(PrefsNotifier::instance(), &PrefsNotifier::prefsChanged, this,
            [this] { prefsChanged(); });
}

DocumentBase::~DocumentBase() {
    joinWorker();
}

QString DocumentBase::docPath() const {
    assertOwner();
    return fDocPath;
}

QString DocumentBase::displayName() const {
    return QFileInfo(docPath()).fileName();
}

QString DocumentBase::searchTerms() const {
    assertOwner();
    return fSearchTerms;
}

void DocumentBase::setSearchTerms(const QString& terms) {
    assertOwner();
    fSearchTerms = terms;
}

std::optional<CustomTag> DocumentBase::customTag() const {
    assertOwner();
    return fCustomTag;
}

// Busy state and workers ----------------------------------------------------

namespace {

// What the main thread hands a starting job passes through Qt's thread
// pool; this names the hand-over to the thread sanitizer. The job acquires
// before it reads its captures, so the token cannot be one of them.
char gJobStart;

// Jobs wait on the network for a long time: one thread each, so a window's
// look-up never queues behind another's.
QThreadPool* jobPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(256);
        return p;
    }();
    return pool;
}

} // namespace

void DocumentBase::startOperation(bool opening) {
    // The sheet is made here, on the main thread, before the job starts.
    fJobProgress = fHost ? fHost->progressSheet() : nullptr;
    createWorker(fJobProgress, opening && fCleanUpOnly);
    fAwaitingWorker = true;
    const std::chrono::seconds timeLimit(currentWorker()->options().lookupTimeLimitSecs);
    JobBody body = opening ? openJob() : lookupJob(searchTerms());
    startJob([body = std::move(body), timeLimit] {
        DownHosts downHosts;
        LookupDeadline deadline(timeLimit);
        return body();
    });
}

void DocumentBase::startJob(JobBody body) {
    Q_ASSERT(onMainThread() && !fJobRunning);
    fJobRunning = true;
    // A promise rather than QtConcurrent: the core links QtCore only.
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    fJob.setFuture(promise->future());
    // The job's result waits here for jobEnded, which reads it only after
    // the future has finished.
    auto result = std::make_shared<JobResult>();
    fJobResult = result;
    std::function<void()> run = [promise, result, body = std::move(body)]() mutable {
        // First, before the job reads even its own captures.
        ThreadHandover::acquire(&gJobStart);
        *result = body();
        // What the job itself held goes here; its result is the main
        // thread's alone from now on.
        body = nullptr;
        ThreadHandover::release(result.get());
        result.reset();
        promise->finish();
    };
    // Once everything the job reads is written.
    ThreadHandover::release(&gJobStart);
    jobPool()->start(std::move(run));
}

void DocumentBase::joinWorker() {
    fJob.waitForFinished();
    if (fJobResult) ThreadHandover::acquire(fJobResult.get());
}

void DocumentBase::onMain(std::function<void()> call) {
    if (onMainThread()) return call();
    QueuedCall::post(this, std::move(call));
}

void DocumentBase::showCovers(QList<std::shared_ptr<AlbumArtDict>> covers) {
    // Most openings find none: no call to post.
    if (std::none_of(covers.cbegin(), covers.cend(), [](const auto& c) { return c != nullptr; }))
        return;
    onMain([this, covers = std::move(covers)] { fAlbumArtObj->addCandidates(covers); });
}

void DocumentBase::customEvent(QEvent* event) {
    if (!QueuedCall::run(event)) QObject::customEvent(event);
}

void DocumentBase::waitUntilIdle() {
    if (!fJobRunning) return;
    QEventLoop loop;
    connect(this, &DocumentBase::jobFinished, &loop, &QEventLoop::quit);
    loop.exec();
}

bool DocumentBase::requestClose() {
    if (!isIdle() || fJobRunning) return false;
    fKeyHit = -1;
    fTypingMonitor->stop();
    if (fHost) fHost->closeProgressSheet();
    disconnect(PrefsNotifier::instance(), nullptr, this, nullptr);
    fClosed = true;
    return true;
}

void DocumentBase::jobEnded() {
    fJobRunning = false;
    fJobProgress = nullptr;
    if (const std::shared_ptr<JobResult> result = std::exchange(fJobResult, nullptr)) {
        ThreadHandover::acquire(result.get());
        // A save's report, applied in one step before the save counts as
        // ended.
        if (*result) (*result)();
    }
    bool close = false;
    if (fAwaitingWorker) {
        checkThreadStatus();
    } else {
        // A save: everything it posted has been delivered before this.
        fLock.leave();
        if (fHost) {
            // Again now that it is idle: the window judges edits only then.
            if (lastSaveSucceeded()) fHost->setEdited(false);
            fHost->reloadTracks();
            fHost->closeProgressSheet();
        }
        close = std::exchange(fCloseAfterSave, false) && lastSaveSucceeded() && requestClose();
    }
    emit jobFinished();
    if (close) emit closedAfterSave();
}

void DocumentBase::checkThreadStatus() {
    LookupWorker* worker = currentWorker();
    if (!fAwaitingWorker || !worker) return;
    const int status = worker->status();
    fAwaitingWorker = false;
    fLock.leave();
    takeWorkerResults();
    if (fHost) {
        fHost->syncWindowTitle();
        fHost->reloadHits();
    }
    hitsShown();
    controlTextDidChange();
    if (fHost) fHost->closeProgressSheet();
    if (status == LookupWorker::NoHits && fHost)
        fHost->showAlert({QStringLiteral("No Data"),
                          QStringLiteral("No data was returned. Make sure at least the artist and "
                                         "title are typed in. Perhaps you are not connected to "
                                         "the internet."),
                          {QStringLiteral("OK")}});
}

ProgressIndicator* DocumentBase::progress() const {
    // Never a finished worker's: its sheet is gone.
    return fJobProgress;
}

bool DocumentBase::onMainThread() const {
    return QThread::currentThread() == thread();
}

void DocumentBase::notifyTracksChanged() {
    if (fHost) onMain([this] { fHost->reloadTracks(); });
}

void DocumentBase::notifyHitsChanged() {
    if (fHost) onMain([this] { fHost->reloadHits(); });
}

void DocumentBase::markEdited(bool edited) {
    if (fHost) onMain([this, edited] { fHost->setEdited(edited); });
}

void DocumentBase::syncWindowTitle() {
    if (fHost) onMain([this] { fHost->syncWindowTitle(); });
}

void DocumentBase::closeProgressSheet() {
    if (fHost) onMain([this] { fHost->closeProgressSheet(); });
}

void DocumentBase::bumpKeyHit() {
    // -1 is the monitor's stop value; a closed document keeps it.
    int current = fKeyHit.load();
    while (current != -1 &&
           !fKeyHit.compare_exchange_weak(current, current == INT_MAX ? 0 : current + 1)) {
    }
}

void DocumentBase::postAlert(const QString& title, const QString& message) {
    const Alert alert{title, message, {QStringLiteral("OK")}};
    if (!fHost) {
        TROVIX_LOG() << alert.title << ":" << alert.message;
        return;
    }
    onMain([this, alert] { fHost->showAlert(alert); });
}

// Saving ----------------------------------------------------------------------

QList<DocumentBase::SaveFailure> DocumentBase::lastSaveFailures() const {
    assertOwner();
    return fSaveFailures;
}

void DocumentBase::concludeSave() {
    const QList<SaveFailure> failures = lastSaveFailures();
    if (failures.isEmpty()) {
        markEdited(false);
        fLastSaveOK = true;
        onMain([this] { saveSucceeded(); });
        return;
    }
    QStringList lines;
    for (const SaveFailure& f : failures)
        lines << QStringLiteral("\"%1\": %2").arg(f.file, f.reason);
    postAlert(QStringLiteral("Some Files Were Not Saved"),
              QStringLiteral("These files could not be written, renamed or moved:\n%1")
                  .arg(lines.join(QLatin1Char('\n'))));
}

void DocumentBase::saveAll() {
    // A running open or look-up ends first; its end is handled on this
    // thread, so the wait runs the event loop.
    waitUntilIdle();
    if (!fLock.tryEnter(BusyState::Saving)) return;
    fLastSaveOK = false;
    fJobProgress = fHost ? fHost->progressSheet() : nullptr;
    startJob(saveJob());
}

void DocumentBase::saveDocumentWithDelegate() {
    fCloseAfterSave = true;
    saveDocument();
    // A check stopped it (its alert is up): the document stays open. A
    // save started from that alert's answer does not close it either.
    if (!fJobRunning) fCloseAfterSave = false;
}

void DocumentBase::recordEdit(const QString& text, const std::function<void()>& edit, int mergeId) {
    if (fRecording > 0 || !isIdle() || !fKeepsHistory) return edit();
    ++fRecording;
    const std::shared_ptr<const EditState> before = editState();
    edit();
    const std::shared_ptr<const EditState> after = editState();
    --fRecording;
    if (before->sameEdits(*after)) return;
    fUndoStack.push(std::make_unique<DocumentEditCommand>(
        text, mergeId, [before] { before->restore(); }, [after] { after->restore(); }));
}

void DocumentBase::undo() {
    if (!isIdle()) return;
    fUndoStack.undo();
}

void DocumentBase::redo() {
    if (!isIdle()) return;
    fUndoStack.redo();
}

#include "moc_DocumentBase.cpp"
