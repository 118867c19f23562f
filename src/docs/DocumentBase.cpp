#include "docs/DocumentBase.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/LookupWorker.h"
#include "docs/TypingMonitor.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/DownHosts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

#include <climits>

DocumentBase::DocumentBase(DocumentHost* host, QObject* parent)
    : QObject(parent), fHost(host), fSources(LookupSources::standard()),
      fAlbumArtObj(std::make_unique<AlbumArt>()) {
    fTypingMonitor = std::make_unique<TypingMonitor>([this] { return keyHit(); },
                                                     [this] { return holdTypingMonitor(); },
                                                     [this] { typingIdle(); });
    fTypingMonitor->start();
    fStatusTimer.setInterval(1000);
    connect(&fStatusTimer, &QTimer::timeout, this, [this] { checkThreadStatus(); });
    connect(PrefsNotifier::instance(), &PrefsNotifier::prefsChanged, this,
            [this] { prefsChanged(); });
}

DocumentBase::~DocumentBase() {
    fStatusTimer.stop();
    joinWorker();
}

QString DocumentBase::docPath() const {
    QMutexLocker locker(&fDataLock);
    return fDocPath;
}

QString DocumentBase::displayName() const {
    return QFileInfo(docPath()).fileName();
}

QString DocumentBase::searchTerms() const {
    QMutexLocker locker(&fDataLock);
    return fSearchTerms;
}

void DocumentBase::setSearchTerms(const QString& terms) {
    QMutexLocker locker(&fDataLock);
    fSearchTerms = terms;
}

std::optional<CustomTag> DocumentBase::customTag() const {
    QMutexLocker locker(&fDataLock);
    return fCustomTag;
}

// Busy state and workers ----------------------------------------------------

void DocumentBase::startOperation(bool opening) {
    joinWorker();
    createWorker(fHost ? fHost->progressSheet() : nullptr, opening && fCleanUpOnly);
    fAwaitingWorker = true;
    fStatusTimer.start();
    if (opening) {
        startWorker([this] {
            DownHosts downHosts;
            initThread();
        });
    } else {
        const QString terms = searchTerms();
        startWorker([this, terms] {
            DownHosts downHosts;
            lookupThread(terms);
        });
    }
}

void DocumentBase::startWorker(std::function<void()> body) {
    joinWorker();
    fWorker = std::thread(std::move(body));
}

void DocumentBase::joinWorker() {
    if (fWorker.joinable()) fWorker.join();
}

void DocumentBase::waitUntilIdle() {
    joinWorker();
    if (fAwaitingWorker) checkThreadStatus();
}

bool DocumentBase::requestClose() {
    if (!isIdle()) return false;
    fKeyHit = -1;
    fTypingMonitor->stop();
    fStatusTimer.stop();
    if (fHost) fHost->closeProgressSheet();
    disconnect(PrefsNotifier::instance(), nullptr, this, nullptr);
    fClosed = true;
    return true;
}

void DocumentBase::checkThreadStatus() {
    LookupWorker* worker = currentWorker();
    if (!fAwaitingWorker || !worker) return;
    const int status = worker->status();
    if (status == LookupWorker::Running) return;
    fStatusTimer.stop();
    // The worker published its status as its very last step.
    joinWorker();
    fAwaitingWorker = false;
    fLock.leave();
    scoopFileThreadData();
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
    LookupWorker* worker = currentWorker();
    if (worker && worker->progress()) return worker->progress();
    return fHost ? fHost->progressSheet() : nullptr;
}

bool DocumentBase::onMainThread() const {
    return QThread::currentThread() == thread();
}

void DocumentBase::notifyTracksChanged() {
    if (!fHost) return;
    if (onMainThread())
        fHost->reloadTracks();
    else
        QMetaObject::invokeMethod(
            this, [this] { fHost->reloadTracks(); }, Qt::QueuedConnection);
}

void DocumentBase::notifyHitsChanged() {
    if (!fHost) return;
    if (onMainThread())
        fHost->reloadHits();
    else
        QMetaObject::invokeMethod(
            this, [this] { fHost->reloadHits(); }, Qt::QueuedConnection);
}

void DocumentBase::markEdited(bool edited) {
    if (!fHost) return;
    if (onMainThread())
        fHost->setEdited(edited);
    else
        QMetaObject::invokeMethod(
            this, [this, edited] { fHost->setEdited(edited); }, Qt::QueuedConnection);
}

void DocumentBase::syncWindowTitle() {
    if (!fHost) return;
    if (onMainThread())
        fHost->syncWindowTitle();
    else
        QMetaObject::invokeMethod(
            this, [this] { fHost->syncWindowTitle(); }, Qt::QueuedConnection);
}

void DocumentBase::closeProgressSheet() {
    if (!fHost) return;
    if (onMainThread())
        fHost->closeProgressSheet();
    else
        QMetaObject::invokeMethod(
            this, [this] { fHost->closeProgressSheet(); }, Qt::QueuedConnection);
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
    if (onMainThread())
        fHost->showAlert(alert);
    else
        QMetaObject::invokeMethod(
            this, [this, alert] { fHost->showAlert(alert); }, Qt::QueuedConnection);
}

// Saving ----------------------------------------------------------------------

QList<DocumentBase::SaveFailure> DocumentBase::lastSaveFailures() const {
    QMutexLocker locker(&fDataLock);
    return fSaveFailures;
}

void DocumentBase::addSaveFailure(const QString& file, const QString& reason) {
    TROVIX_LOG() << "Not saved:" << file << reason;
    QMutexLocker locker(&fDataLock);
    fSaveFailures.append({file, reason});
}

void DocumentBase::concludeSave() {
    const QList<SaveFailure> failures = lastSaveFailures();
    if (failures.isEmpty()) {
        markEdited(false);
        fLastSaveOK = true;
        if (onMainThread())
            saveSucceeded();
        else
            QMetaObject::invokeMethod(
                this, [this] { saveSucceeded(); }, Qt::QueuedConnection);
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
    // An open or look-up ends on this thread; waiting for idle alone would
    // never return.
    if (fAwaitingWorker) waitUntilIdle();
    fLock.enter(BusyState::Saving);
    fLastSaveOK = false;
    startWorker([this] { saveCommon(); });
}

void DocumentBase::saveDocumentWithDelegate() {
    saveDocument();
    QTimer::singleShot(100, this, &DocumentBase::closeRealSoon);
}

void DocumentBase::closeRealSoon() {
    if (fClosed) return;
    if (!isIdle()) {
        QTimer::singleShot(100, this, &DocumentBase::closeRealSoon);
        return;
    }
    // The save's worker has handed everything back; its thread is done.
    joinWorker();
    QCoreApplication::sendPostedEvents(this);
    if (requestClose()) emit closedAfterSave();
}
