#include "library/LibraryRun.h"

#include "library/LibraryAlbum.h"
#include "library/LibraryState.h"
#include "system/QueuedCall.h"
#include "system/ThreadHandover.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QMetaMethod>
#include <QThread>

#include <atomic>

namespace {

// 0: running; -1: asked without a signal; else the signal.
std::atomic<int> gLibraryStop{0};

// The hit number `number` of the album's stored hits: its result key, null
// when there is no such hit.
QString keyOfHit(const QJsonObject& album, int number) {
    for (const QJsonValue& hit : album.value("hits").toArray())
        if (hit.toObject().value("number").toInt() == number)
            return hit.toObject().value("key").toString();
    return QString();
}

QString bestHitText(const QJsonObject& album) {
    const int best = album.value("best").toInt(-1);
    for (const QJsonValue& value : album.value("hits").toArray()) {
        const QJsonObject hit = value.toObject();
        if (hit.value("number").toInt() == best)
            return hit.value("artist").toString() + QStringLiteral(" / ") +
                   hit.value("album").toString();
    }
    return QString();
}

// The parts of the record that follow from its albums: the best hit of
// the first, the distance of the farthest, what would change in each.
void summarize(LibraryRecord& r) {
    r.bestHit = QString();
    r.chosenKey = QString();
    r.distance.reset();
    r.parts = QJsonArray();
    QStringList changes;
    for (const QJsonValue& value : r.albums) {
        const QJsonObject album = value.toObject();
        if (r.bestHit.isNull() && !album.value("best").isNull()) {
            r.bestHit = bestHitText(album);
            r.chosenKey = keyOfHit(album, album.value("best").toInt());
        }
        const QJsonValue distance = album.value("distance");
        if (distance.isDouble() && (!r.distance || distance.toDouble() > *r.distance)) {
            r.distance = distance.toDouble();
            r.parts = album.value("parts").toArray();
        }
        const QString name = QFileInfo(album.value("folder").toString()).fileName();
        changes << (r.albums.size() > 1 ? name + QStringLiteral(": ") : QString()) +
                       album.value("changes").toString();
    }
    r.changes = changes.join(QStringLiteral("; "));
}

// Made by the run's thread before the lane's hands it anything.
char gLaneHostMade;

// Lives on a lane and runs there the calls posted to it.
class LaneHost : public QObject {
public:
    ~LaneHost() override { ThreadHandover::acquire(&gLaneHostMade); }

protected:
    void customEvent(QEvent* event) override {
        if (!QueuedCall::run(event)) QObject::customEvent(event);
    }
};

// Runs a local event loop until `signal` of `sender` fires.
template <typename Sender, typename Signal> void waitFor(Sender* sender, Signal signal) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

struct LibraryRun::Work {
    LibraryWalk::Entry entry;
    QString previousPath;
    QList<LibraryAlbum*> albums;
    qsizetype next = 0;
};

LibraryRun::LibraryRun(LibraryState& state, Options options, QObject* parent)
    : QObject(parent), fState(state), fOptions(options) {}

LibraryRun::~LibraryRun() {
    for (Work* work : fActive) {
        for (LibraryAlbum* album : work->albums)
            album->deleteLater();
        delete work;
    }
    stopLanes();
}

void LibraryRun::startLanes() {
    const int lanes = fOptions.lanes > 0 ? fOptions.lanes : qMax(1, QThread::idealThreadCount());
    for (int i = 0; i < lanes; ++i) {
        fLanes.push_back(std::make_unique<QThread>());
        fLanes.back()->setObjectName(QStringLiteral("Library lane %1").arg(i + 1));
        fLanes.back()->start();
        // What albums are made by, so they belong to the lane from the start.
        auto* maker = new LaneHost;
        maker->moveToThread(fLanes.back().get());
        ThreadHandover::release(&gLaneHostMade);
        fLaneMakers.push_back(maker);
    }
}

void LibraryRun::stopLanes() {
    // A lane's last albums were handed to deleteLater(): a finishing thread
    // deletes them before it ends.
    for (QObject* maker : fLaneMakers)
        maker->deleteLater();
    fLaneMakers.clear();
    for (const std::unique_ptr<QThread>& lane : fLanes) {
        lane->quit();
        lane->wait();
    }
    fLanes.clear();
}

void LibraryRun::requestStop(int signal) {
    gLibraryStop.store(signal > 0 ? signal : -1);
}

int LibraryRun::stopSignal() {
    return qMax(0, gLibraryStop.load());
}

bool LibraryRun::stopRequested() {
    return gLibraryStop.load() != 0;
}

void LibraryRun::clearStop() {
    gLibraryStop.store(0);
}

void LibraryRun::count(LibraryRecord::Status status, int by) {
    switch (status) {
    case LibraryRecord::Status::Saved:
        fCounts.saved += by;
        break;
    case LibraryRecord::Status::Queued:
        fCounts.queued += by;
        break;
    case LibraryRecord::Status::Failed:
        fCounts.failed += by;
        break;
    case LibraryRecord::Status::Skipped:
        fCounts.skipped += by;
        break;
    case LibraryRecord::Status::LookedUp:
        fCounts.lookedUp += by;
        break;
    case LibraryRecord::Status::New:
        break;
    }
}

LibraryRun::End LibraryRun::run(const QString& root) {
    fClock.start();
    const QList<LibraryWalk::Entry> entries = LibraryWalk::find(root);
    // Every row of the library at once, by path and by who the folder is.
    const QList<LibraryRecord> rows = fState.under(root);
    if (!fState.errorText().isEmpty()) return End::StateFailed;
    QHash<QString, qsizetype> byPath;
    QHash<QPair<qint64, qint64>, qsizetype> byIdentity;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        byPath.insert(rows[i].path, i);
        byIdentity.insert({rows[i].device, rows[i].inode}, i);
    }
    QList<LibraryRecord> fresh;
    for (const LibraryWalk::Entry& entry : entries) {
        const LibraryWalk::Identity& id = entry.identity;
        std::optional<LibraryRecord> known;
        if (const qsizetype at = byPath.value(entry.path, -1); at >= 0) {
            known = rows[at];
        } else if (const qsizetype same = byIdentity.value({id.device, id.inode}, -1);
                   same >= 0 && !QFileInfo(rows[same].path).isDir()) {
            // Renamed since: only a folder gone from its recorded place.
            known = rows[same];
        }
        ++fCounts.total;
        if (!known) {
            LibraryRecord r;
            r.path = entry.path;
            r.device = id.device;
            r.inode = id.inode;
            r.fingerprint = id.fingerprint;
            fresh << r;
            fTodo.append({entry, QString()});
            continue;
        }
        const bool moved = known->path != entry.path;
        // A folder changed since it was looked up is looked up again.
        if (known->fingerprint == id.fingerprint && known->settled(fOptions.save)) {
            if (moved) {
                LibraryRecord r = *known;
                r.path = entry.path;
                if (!fState.write(r, known->path)) return End::StateFailed;
            }
            count(known->status, 1);
            ++fCounts.done;
            continue;
        }
        fTodo.append({entry, moved ? known->path : QString()});
    }
    if (!fState.addNew(fresh)) return End::StateFailed;
    emit progressed(fCounts);
    fParallel =
        fOptions.parallel > 0 ? fOptions.parallel : 2 * qMax(1, QThread::idealThreadCount());
    startLanes();
    startMore();
    if (!fActive.isEmpty()) fLoop.exec();
    stopLanes();
    if (fStateFailed) return End::StateFailed;
    return fNext < fTodo.size() ? End::Stopped : End::Done;
}

void LibraryRun::startMore() {
    while (!fStateFailed && !stopRequested() && fActive.size() < fParallel &&
           fNext < fTodo.size()) {
        startEntry(fTodo[fNext++]);
    }
    if (fActive.isEmpty()) fLoop.quit();
}

void LibraryRun::startEntry(const Pending& pending) {
    auto* work = new Work{pending.entry, pending.previousPath, {}, 0};
    fActive << work;
    openNext(work);
}

void LibraryRun::openNext(Work* work) {
    if (work->next >= work->entry.albums.size()) return judged(work);
    QObject* maker = fLaneMakers[fNextLane++ % fLaneMakers.size()];
    const QString folder = work->entry.albums[work->next];
    const bool covers = fOptions.save;
    const bool keepHits = isSignalConnected(QMetaMethod::fromSignal(&LibraryRun::hitsFound));
    // Made on its lane, so its document's timers and watchers are the
    // lane's; this thread hears of it once it is looked up.
    QueuedCall::post(maker, [this, work, folder, covers, keepHits] {
        auto* album = new LibraryAlbum(folder, covers);
        album->setKeepsHits(keepHits);
        // Both made here, on the lane, where they end with the album.
        connect(album, &LibraryAlbum::lookedUp, this, [this, work, album] {
            ThreadHandover::acquire(LibraryAlbum::handoverToken());
            work->albums << album;
            emit hitsFound(album->folder(), album->hits());
            ++work->next;
            openNext(work);
        });
        connect(album, &LibraryAlbum::saveEnded, this, [this, work, album] {
            ThreadHandover::acquire(LibraryAlbum::handoverToken());
            saved(work, album);
        });
        album->open();
    });
}

void LibraryRun::judged(Work* work) {
    for (LibraryAlbum* album : work->albums)
        if (!album->failure().isNull())
            return finish(work, LibraryRecord::Status::Failed, album->failure());
    if (!fOptions.save) return finish(work, LibraryRecord::Status::LookedUp, QString());
    for (LibraryAlbum* album : work->albums) {
        const std::optional<MatchDistance> d = album->bestDistance();
        if (!d)
            return finish(work, LibraryRecord::Status::Queued,
                          QStringLiteral("no web hit for %1").arg(album->folder()));
        if (d->value() > fOptions.maxDistance)
            return finish(work, LibraryRecord::Status::Queued,
                          QStringLiteral("distance %1 is above %2")
                              .arg(QString::number(d->value(), 'f', 2),
                                   QString::number(fOptions.maxDistance, 'f', 2)));
    }
    work->next = 0;
    saveNext(work);
}

void LibraryRun::saveNext(Work* work) {
    if (work->next >= work->albums.size())
        return finish(work, LibraryRecord::Status::Saved, QString());
    LibraryAlbum* album = work->albums[work->next];
    const int row = album->bestRow();
    QueuedCall::post(album, [album, row] { album->save(row); });
}

void LibraryRun::saved(Work* work, LibraryAlbum* album) {
    switch (album->saveEnd()) {
    case LibraryAlbum::SaveEnd::Saved:
        ++work->next;
        return saveNext(work);
    case LibraryAlbum::SaveEnd::Asked:
        return finish(work, LibraryRecord::Status::Queued,
                      QStringLiteral("the save would ask: ") + album->saveReason());
    case LibraryAlbum::SaveEnd::Refused:
        return finish(work, LibraryRecord::Status::Failed, album->saveReason());
    }
}

void LibraryRun::finish(Work* work, LibraryRecord::Status status, const QString& reason) {
    // A save may have renamed the album folder; a box set keeps its own name.
    LibraryWalk::Entry entry = work->entry;
    QJsonArray albums;
    bool anySaved = false;
    for (qsizetype i = 0; i < work->albums.size(); ++i) {
        LibraryAlbum* album = work->albums[i];
        QJsonObject summary = album->summary();
        const bool saved =
            fOptions.save && (status == LibraryRecord::Status::Saved ||
                              (i < work->next && album->saveEnd() == LibraryAlbum::SaveEnd::Saved));
        if (saved) {
            anySaved = true;
            const QString now = album->folderAfterSave();
            if (entry.albums[i] == entry.path) entry.path = now;
            entry.albums[i] = now;
            summary.insert("folder", now);
        }
        summary.insert("status",
                       LibraryRecord::statusName(saved ? LibraryRecord::Status::Saved : status));
        albums.append(summary);
    }
    // What the run saw at its start, unless a save changed the files since.
    const LibraryWalk::Identity id = anySaved ? LibraryWalk::identify(entry) : work->entry.identity;
    LibraryRecord r;
    r.path = entry.path;
    r.device = id.device;
    r.inode = id.inode;
    r.fingerprint = id.fingerprint;
    r.status = status;
    r.reason = reason;
    r.albums = albums;
    r.albumsJson = r.albumsText();
    summarize(r);
    const QString replaced = !work->previousPath.isEmpty() ? work->previousPath : work->entry.path;
    if (!fState.write(r, replaced)) fStateFailed = true;

    count(status, 1);
    ++fCounts.done;
    ++fFinishedThisRun;
    fCounts.elapsedMs = fClock.elapsed();
    const qsizetype left = fTodo.size() - fNext + fActive.size() - 1;
    fCounts.leftMs = fCounts.elapsedMs * left / fFinishedThisRun;
    emit entryFinished(r);
    emit progressed(fCounts);

    fActive.removeOne(work);
    // Deleted on their lanes, where their documents live.
    ThreadHandover::release(LibraryAlbum::handoverToken());
    for (LibraryAlbum* album : work->albums)
        album->deleteLater();
    delete work;
    startMore();
}

bool LibraryRun::apply(LibraryState& state, const QString& albumFolder, int number,
                       QString* message) {
    const QString folder = QDir::cleanPath(QFileInfo(albumFolder).absoluteFilePath());
    std::optional<LibraryRecord> record = state.find(folder, 0, 0);
    if (!record) record = state.find(QFileInfo(folder).path(), 0, 0);
    qsizetype index = -1;
    for (qsizetype i = 0; record && i < record->albums.size(); ++i)
        if (record->albums[i].toObject().value("folder").toString() == folder) index = i;
    if (index < 0) {
        *message = QStringLiteral("%1 is not in the library's review queue").arg(folder);
        return false;
    }
    QJsonObject stored = record->albums[index].toObject();
    const QString key = keyOfHit(stored, number);
    if (key.isNull()) {
        *message = QStringLiteral("%1 has no hit %2").arg(folder).arg(number);
        return false;
    }
    LibraryAlbum album(folder);
    album.open();
    waitFor(&album, &LibraryAlbum::lookedUp);
    const int row = album.rowOfKey(key);
    if (row < 0) {
        *message = QStringLiteral("%1: the hit %2 (%3) is no longer found")
                       .arg(folder)
                       .arg(number)
                       .arg(key);
        return false;
    }
    // The user chose the hit after reviewing it: questions get their defaults.
    album.save(row, true);
    waitFor(&album, &LibraryAlbum::saveEnded);
    if (album.saveEnd() != LibraryAlbum::SaveEnd::Saved) {
        *message = QStringLiteral("%1: not saved: %2").arg(folder, album.saveReason());
        return false;
    }
    QJsonObject summary = album.summary();
    summary.insert("folder", album.folderAfterSave());
    summary.insert("status", LibraryRecord::statusName(LibraryRecord::Status::Saved));
    summary.insert("chosen", number);
    LibraryRecord r = *record;
    r.albums[index] = summary;
    const QString previous = r.path;
    if (r.albums.size() == 1) r.path = album.folderAfterSave();
    bool all = true;
    QStringList albums;
    for (const QJsonValue& value : r.albums) {
        all = all && value.toObject().value("status").toString() ==
                         LibraryRecord::statusName(LibraryRecord::Status::Saved);
        albums << value.toObject().value("folder").toString();
    }
    if (all) {
        r.status = LibraryRecord::Status::Saved;
        r.reason = QString();
    }
    summarize(r);
    const LibraryWalk::Identity id = LibraryWalk::identify({r.path, albums, {}});
    r.device = id.device;
    r.inode = id.inode;
    r.fingerprint = id.fingerprint;
    r.updated = QDateTime();
    if (!state.write(r, previous)) {
        *message = state.errorText();
        return false;
    }
    *message = QStringLiteral("%1: saved with hit %2").arg(album.folderAfterSave()).arg(number);
    return true;
}

bool LibraryRun::skip(LibraryState& state, const QString& folder, QString* message) {
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    std::optional<LibraryRecord> record = state.find(path, 0, 0);
    if (!record) {
        *message = QStringLiteral("%1 is not in the library state").arg(path);
        return false;
    }
    record->status = LibraryRecord::Status::Skipped;
    record->updated = QDateTime();
    if (!state.write(*record)) {
        *message = state.errorText();
        return false;
    }
    *message = QStringLiteral("%1: skipped").arg(path);
    return true;
}
