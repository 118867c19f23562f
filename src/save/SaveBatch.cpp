#include "save/SaveBatch.h"

#include "media/FileIO.h"
#include "media/MusicFile.h"
#include "media/SavePlan.h"
#include "save/RollbackJournal.h"
#include "save/TempCopy.h"
#include "system/Durable.h"
#include "system/FolderHandle.h"
#include "system/Log.h"
#include "system/SaveSteps.h"
#include "system/WorkSharing.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Up to this many files are synced one by one; more with one syncfs.
constexpr size_t kFewFiles = 4;

// A folder holding files written in place, and the journal of their
// rollback copies there: the album folder, or one a link leads to.
struct JournalFolder {
    QString path;
    RollbackJournal journal;
    bool keep = false; // some file could not be put back
};

struct Job {
    int index = 0;
    MusicFile* file = nullptr;
    SavePlan plan;
    bool decided = false;
    Outcome outcome;
    bool touched = false;             // in place: some bytes were overwritten
    std::unique_ptr<TempCopy> copy;   // rewrite: the new file
    JournalFolder* journal = nullptr; // in place: where its rollback copy is
    QString checked;                  // why its check failed; null when it passed
};

void decide(Job& job, Outcome outcome) {
    job.decided = true;
    job.outcome = std::move(outcome);
}

bool pending(const Job& job) {
    return !job.decided &&
           (job.plan.kind == SavePlan::Kind::InPlace || job.plan.kind == SavePlan::Kind::Rewrite);
}

QString changedMessage() {
    return QStringLiteral("The file was changed by another program since it was opened; open it "
                          "again before saving.");
}

// The target, opened and locked, after checking that it is still the file
// that was planned: same inode at the path, same size and modification time.
struct Opened {
    int fd = -1;
    Outcome outcome;
};
Opened openPlanned(const SavePlan& plan, int flags) {
    const QByteArray native = QFile::encodeName(plan.target);
    // Non-blocking, so that a FIFO put in the file's place cannot hang us.
    const int fd = ::open(native.constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return {-1, Outcome::failed(FileIO::whyNotOpened(errno))};
    // Blocking again; F_SETFL sets only the status flags among `flags`.
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return {-1, Outcome::failed(QStringLiteral("The file is in use by another program."))};
    }
    struct stat now {
    }, atPath{};
    if (::fstat(fd, &now) != 0 || ::stat(native.constData(), &atPath) != 0 ||
        !FileIO::sameFile(now, plan.seen) || !FileIO::sameFile(atPath, plan.seen)) {
        ::close(fd);
        return {-1, Outcome::failed(changedMessage())};
    }
    return {fd, Outcome::done()};
}

// Puts back the old bytes and size of an in-place write, through `fd` (the
// file as opened to write it) or else through a new open of the regular
// file of that name in its folder, checked to be the file planned: never
// through whatever the path may lead to by now.
bool restore(const SavePlan& plan, int fd = -1) {
    FolderHandle folder;
    struct stat st {};
    const QFileInfo target(plan.target);
    const int own = fd >= 0 || !folder.open(QFileInfo(target.absolutePath()).canonicalFilePath())
                        ? -1
                        : folder.openFile(QFile::encodeName(target.fileName()), O_RDWR, &st);
    const FileIO::ClosedAtExit closer{own};
    if (own >= 0 && st.st_dev == plan.seen.st_dev && st.st_ino == plan.seen.st_ino) fd = own;
    bool ok = fd >= 0 && ::ftruncate(fd, plan.seen.st_size) == 0;
    for (const SaveRegion& r : plan.regions)
        ok = ok && FileIO::writeAt(fd, r.old.constData(), size_t(r.old.size()), r.offset);
    ok = ok && ::fdatasync(fd) == 0;
    if (!ok) TROVIX_LOG() << "Could not put back the old content of" << plan.target;
    return ok;
}

// Starts the write-back of what was just written to `fd` without waiting
// for it; the sync after the group waits, and sees any error.
void startWriteBack(int fd) {
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

Outcome writeInPlace(Job& job, bool* restored, bool writeBackNow) {
    SavePlan& plan = job.plan;
    const Opened opened = openPlanned(plan, O_RDWR);
    if (!opened.outcome.ok()) return opened.outcome;
    const int fd = opened.fd;
    const FileIO::ClosedAtExit closer{fd};
    bool ok = true;
    for (const SaveRegion& r : plan.regions) {
        SaveSteps::step("tags-write");
        job.touched = true;
        ok = FileIO::writeAt(fd, r.bytes.constData(), size_t(r.bytes.size()), r.offset);
        if (!ok) break;
    }
    if (ok && plan.newSize < uint64_t(plan.seen.st_size)) {
        SaveSteps::step("tags-write");
        job.touched = true;
        ok = ::ftruncate(fd, off_t(plan.newSize)) == 0;
    }
    if (ok) {
        if (writeBackNow) startWriteBack(fd);
        return Outcome::done();
    }
    const Outcome failed = Outcome::failed(
        QStringLiteral("The file could not be written: %1.").arg(Durable::errnoText(errno)));
    *restored = !job.touched || restore(plan, fd);
    return failed;
}

// Where the new copy of a file is made: beside it, unless a link in the
// album folder leads to a file elsewhere on the same disk; then in the album
// folder, named after the link, so that should the save die the next
// opening of the album finds the copy and removes it.
std::pair<QString, QString> copyPlace(const Job& job, const QString& album,
                                      const struct stat& albumStat) {
    const QFileInfo target(job.plan.target);
    struct stat st {};
    if (::stat(QFile::encodeName(target.absolutePath()).constData(), &st) != 0 ||
        (st.st_dev == albumStat.st_dev && st.st_ino == albumStat.st_ino) ||
        st.st_dev != albumStat.st_dev)
        return {target.absolutePath(), target.fileName()};
    return {album, QFileInfo(job.file->path()).fileName()};
}

Outcome writeCopy(Job& job, const std::pair<QString, QString>& place, bool writeBackNow) {
    SavePlan& plan = job.plan;
    const Opened opened = openPlanned(plan, O_RDONLY);
    if (!opened.outcome.ok()) return opened.outcome;
    const int in = opened.fd;
    const FileIO::ClosedAtExit closer{in};
    auto copy = std::make_unique<TempCopy>();
    const Outcome created = copy->create(place.first, place.second);
    if (!created.ok()) return created;
    SaveSteps::step("tags-copy");
    const Outcome written = plan.writeNew(in, copy->fd());
    if (!written.ok()) return written;
    const Outcome kept = copy->keepMetadataOf(in, plan.seen);
    if (!kept.ok())
        return Outcome::failed(
            QStringLiteral("The tags do not fit in place, and %1; the file was left as it was.")
                .arg(kept.reason));
    if (writeBackNow) startWriteBack(copy->fd());
    const Outcome closed = copy->close();
    if (!closed.ok())
        return Outcome::failed(
            QStringLiteral("The file could not be written: %1. It was left as it was.")
                .arg(closed.reason));
    job.copy = std::move(copy);
    return Outcome::done();
}

QString writtenPath(const Job& job) {
    return job.copy ? job.copy->path() : job.plan.target;
}

// Reads a written file back: its new tags read back or parsed, its audio
// compared by pieces. What fails is put back or removed after the sync.
void check(Job& job) {
    if (pending(job) && job.plan.verify) job.checked = job.plan.verify(writtenPath(job));
}

// A written file as the sync sees it: named once, before the check runs
// beside the sync and may remove a copy that failed.
struct SyncTarget {
    QByteArray path;
    dev_t device;
};

// Makes every written file last: fdatasync of each of a few, else one
// syncfs per file system, falling back to each file when it fails. The
// indexes of the files whose data could not be synced, with the error.
std::vector<std::pair<size_t, int>> syncAll(const std::vector<SyncTarget>& written) {
    std::vector<std::pair<size_t, int>> failed;
    auto syncOne = [&failed, &written](size_t i) {
        const int fd = ::open(written[i].path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fdatasync(fd) != 0) failed.emplace_back(i, errno);
        if (fd >= 0) ::close(fd);
    };
    if (written.size() <= kFewFiles) {
        for (size_t i = 0; i < written.size(); ++i)
            syncOne(i);
        return failed;
    }
    std::map<dev_t, std::vector<size_t>> byDevice;
    for (size_t i = 0; i < written.size(); ++i)
        byDevice[written[i].device].push_back(i);
    for (auto& [device, indexes] : byDevice) {
        const QByteArray& any = written[indexes.front()].path;
        const int fd = Durable::openFolder(any.left(std::max<qsizetype>(any.lastIndexOf('/'), 1)));
        const bool ok = fd >= 0 && ::syncfs(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (ok) continue;
        for (size_t i : indexes)
            syncOne(i);
    }
    return failed;
}

// Descriptors of replaced files, closed a batch at a time elsewhere; at
// most kBatch are held at once.
class OldContent {
public:
    OldContent() = default;
    OldContent(const OldContent&) = delete;
    OldContent& operator=(const OldContent&) = delete;
    ~OldContent() { release(); }

    void keep(const QString& path) {
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) return; // freed by the rename then
        fFds.push_back(fd);
        if (fFds.size() >= kBatch) release();
    }

private:
    static constexpr size_t kBatch = 64;
    void release() {
        if (!fFds.empty()) Durable::closeElsewhere(std::exchange(fFds, {}));
    }
    std::vector<int> fFds;
};

} // namespace

SaveBatch::SaveBatch(const QString& folder) : SaveBatch(folder, GroupLimits{}) {}

SaveBatch::SaveBatch(const QString& folder, GroupLimits limits) : fFolder(folder), fLimits(limits) {
    fLimits.files = std::max<size_t>(fLimits.files, 1);
    fLimits.copies = std::max<size_t>(fLimits.copies, 1);
    fLimits.chunk = std::max<size_t>(fLimits.chunk, 1);
}

SaveBatch::~SaveBatch() = default;

void SaveBatch::add(MusicFile* file, std::function<void()> prepare) {
    fOpen.push_back([file, prepare = std::move(prepare)] {
        if (prepare) prepare();
        return file;
    });
}

void SaveBatch::add(std::function<MusicFile*()> open) {
    fOpen.push_back(std::move(open));
}

std::vector<Outcome> SaveBatch::commit(const std::function<bool()>& stop,
                                       const std::function<void(int)>& progress) {
    const int count = int(fOpen.size());
    std::vector<Outcome> outcomes(size_t(count), Outcome::stopped());
    fWritten.assign(size_t(count), false);
    // Planning and writing run at once: `shared` guards the caller's stop
    // and progress, the group and the files ready to write.
    std::mutex shared;
    bool stopped = false;
    auto askStop = [&] { return stopped || (stopped = stop && stop()); };
    auto done = [&](const Job& job) {
        if (progress) progress(job.index);
    };

    // One journal for the save in each folder it writes in place (the
    // album's, and any a link leads to) and each chunk of a group: each
    // group writes over the copies of the one before, whose files are on
    // disk by then.
    const QString album = QFileInfo(fFolder).canonicalFilePath();
    struct stat albumStat {};
    ::stat(QFile::encodeName(album).constData(), &albumStat);
    std::map<std::tuple<dev_t, ino_t, size_t>, JournalFolder> journals;
    // A large journal's hash needs libcrypto, whose loading took
    // milliseconds of the journal's time: it loads while the rest of the
    // group is planned, once the group holds that much.
    std::jthread journalReady;
    auto prepareJournal = [&journalReady](qsizetype held) {
        if (journalReady.joinable() || held < RollbackJournal::kPreparedFrom) return;
        try {
            journalReady = std::jthread(&RollbackJournal::prepare);
        } catch (const std::system_error&) {
        }
    };
    const auto keepJournal = [](Job& job) {
        if (job.journal) job.journal->keep = true;
    };

    // 2. The rollback copies of a chunk's in-place writes, on disk first,
    // in the folder of each file, which names it by its plain name there.
    auto journalChunk = [&](const std::vector<Job*>& chunk, size_t slot) {
        std::map<JournalFolder*, std::vector<Job*>> inPlace;
        // The files of a folder come one after another: its journal is
        // looked up once for them, not with a stat of its folder each.
        QString lastFolder;
        JournalFolder* lastJournal = nullptr;
        for (Job* job : chunk) {
            if (!pending(*job) || job->plan.kind != SavePlan::Kind::InPlace) continue;
            const QFileInfo target(job->plan.target);
            const QString folder = target.absolutePath();
            const QByteArray name = QFile::encodeName(target.fileName());
            struct stat st {};
            std::optional<Outcome> refused;
            if (!FolderHandle::isPlainName(name) || FolderHandle::isReservedName(name)) {
                // Recovery would not trust a journal naming it, so a torn
                // write could not be undone.
                refused = Outcome::failed(
                    QStringLiteral("The file's name holds control characters or is one Trovix "
                                   "keeps for itself, so it cannot be saved safely; rename it "
                                   "first."));
            } else if (!lastJournal || folder != lastFolder) {
                if (::stat(QFile::encodeName(folder).constData(), &st) != 0) {
                    refused = Outcome::failed(changedMessage());
                } else {
                    lastJournal = &journals[{st.st_dev, st.st_ino, slot}];
                    lastFolder = folder;
                    if (lastJournal->path.isNull())
                        lastJournal->path = QFileInfo(folder).canonicalFilePath();
                }
            }
            if (refused) {
                const std::lock_guard<std::mutex> lock(shared);
                decide(*job, std::move(*refused));
                done(*job);
                continue;
            }
            job->journal = lastJournal;
            inPlace[lastJournal].push_back(job);
        }
        for (auto& [at, jobs] : inPlace) {
            std::vector<const SavePlan*> plans;
            for (Job* job : jobs)
                plans.push_back(&job->plan);
            SaveSteps::step("tags-journal");
            const Outcome journaled = at->journal.write(at->path, plans);
            if (journaled.ok()) continue;
            const std::lock_guard<std::mutex> lock(shared);
            for (Job* job : jobs) {
                decide(*job, Outcome::failed(QStringLiteral("No rollback copy could be written to "
                                                            "the folder (%1), so the file was "
                                                            "not changed.")
                                                 .arg(journaled.reason)));
                done(*job);
            }
        }
    };

    // 3. Write a chunk, each file on a core of its own: a rollback copy of
    // every byte written in place is on disk already, and a file written
    // twice at once is refused by its lock. A stop request ends the writing
    // before the next file. While more is planned, each file's write-back
    // starts at once, so that the disk works through it meanwhile.
    auto writeChunk = [&](const std::vector<Job*>& chunk, bool writeBackNow) {
        WorkSharing::forEachIndex(chunk.size(), [&](size_t i) {
            Job& job = *chunk[i];
            {
                const std::lock_guard<std::mutex> lock(shared);
                if (!pending(job)) return;
                if (askStop()) {
                    decide(job, Outcome::stopped());
                    return;
                }
            }
            bool restored = true;
            Outcome written = job.plan.kind == SavePlan::Kind::InPlace
                                  ? writeInPlace(job, &restored, writeBackNow)
                                  : writeCopy(job, copyPlace(job, album, albumStat), writeBackNow);
            const std::lock_guard<std::mutex> lock(shared);
            if (!written.ok()) {
                if (!restored) keepJournal(job);
                job.copy.reset();
                decide(job, std::move(written));
            }
            done(job);
        });
    };

    // The files not planned yet, in order.
    std::vector<int> waiting(static_cast<size_t>(count));
    std::iota(waiting.begin(), waiting.end(), 0);
    while (!waiting.empty() && !askStop()) {
        // 1. Plan a group: each core takes the next file and plans it
        // (planning reads but never writes) while the group has room for
        // it, counting every file in planning as a new copy; the files left
        // wait for the next group. Taken one at a time, no core waits for
        // the others between files. A chunk of planned files goes on to be
        // journaled, written and checked while the rest is planned.
        std::vector<std::unique_ptr<Job>> group;
        qsizetype held = 0;
        size_t copies = 0;
        size_t planning = 0;
        std::vector<int> left;
        std::vector<Job*> ready;   // planned, to be written
        std::vector<Job*> toCheck; // written, to be checked
        bool planned = false;
        std::condition_variable readyToWrite;
        // The next written file to check, if any; with `shared` held.
        auto nextToCheck = [&toCheck]() -> Job* {
            if (toCheck.empty()) return nullptr;
            Job* job = toCheck.back();
            toCheck.pop_back();
            return job;
        };

        // Every file written, synced once: syncfs, or fdatasync of each of
        // a few, on a thread of its own that starts with the last chunk's
        // check. The indexes (into `toSync`) of the files not synced.
        std::vector<Job*> toSync;
        std::vector<SyncTarget> targets;
        std::vector<std::pair<size_t, int>> unsynced;
        std::jthread syncing;
        auto startSync = [&] {
            for (auto& job : group)
                if (pending(*job)) {
                    toSync.push_back(job.get());
                    targets.push_back(
                        {QFile::encodeName(writtenPath(*job)), job->plan.seen.st_dev});
                }
            if (targets.empty()) return;
            try {
                syncing = std::jthread([&unsynced, &targets] { unsynced = syncAll(targets); });
            } catch (const std::system_error&) {
                unsynced = syncAll(targets);
            }
        };
        bool syncStarted = false;
        auto writeReady = [&] {
            for (size_t slot = 0;; ++slot) {
                std::vector<Job*> chunk;
                bool last = false;
                {
                    // The first files of the folder among those planned, a
                    // whole chunk of them unless planning is over.
                    std::unique_lock<std::mutex> lock(shared);
                    readyToWrite.wait(lock,
                                      [&] { return planned || ready.size() >= fLimits.chunk; });
                    if (ready.empty()) return;
                    std::sort(ready.begin(), ready.end(),
                              [](const Job* a, const Job* b) { return a->index < b->index; });
                    const auto end =
                        ready.begin() + qsizetype(std::min(fLimits.chunk, ready.size()));
                    chunk.assign(ready.begin(), end);
                    ready.erase(ready.begin(), end);
                    last = planned && ready.empty();
                }
                {
                    // Stopped: nothing more is written, nor journaled.
                    const std::lock_guard<std::mutex> lock(shared);
                    if (stopped) {
                        for (Job* job : chunk)
                            if (pending(*job)) decide(*job, Outcome::stopped());
                        continue;
                    }
                }
                journalChunk(chunk, slot);
                writeChunk(chunk, !last);
                if (last) {
                    startSync();
                    syncStarted = true;
                }
                const std::lock_guard<std::mutex> lock(shared);
                for (Job* job : chunk)
                    if (pending(*job)) toCheck.push_back(job);
            }
        };
        // No more files than a chunk: written on this thread once planned.
        std::jthread writer;
        if (waiting.size() > fLimits.chunk) {
            try {
                writer = std::jthread(writeReady);
            } catch (const std::system_error&) {
            }
        }

        WorkSharing::forEachIndex(waiting.size(), [&](size_t k) {
            const int index = waiting[k];
            {
                const std::lock_guard<std::mutex> lock(shared);
                const bool room = (group.empty() && planning == 0) ||
                                  (group.size() + planning < fLimits.files &&
                                   copies + planning < fLimits.copies && held < fLimits.bytes);
                if (!room || askStop()) {
                    left.push_back(index);
                    return;
                }
                ++planning;
            }
            auto job = std::make_unique<Job>();
            job->index = index;
            job->file = fOpen[size_t(index)]();
            job->plan = job->file ? job->file->planSave()
                                  : SavePlan::refused(QStringLiteral(
                                        "The file could not be read again for saving."));
            const SavePlan& plan = job->plan;
            // 4. Each file planned is followed by the check of one written.
            Job* written = nullptr;
            const auto checkOne = qScopeGuard([&written] {
                if (written) check(*written);
            });
            const std::lock_guard<std::mutex> lock(shared);
            written = nextToCheck();
            --planning;
            if (plan.kind == SavePlan::Kind::Refused) {
                decide(*job, Outcome::failed(plan.reason));
            } else if (plan.kind == SavePlan::Kind::Nothing) {
                decide(*job, Outcome::done());
            } else if (plan.kind == SavePlan::Kind::Rewrite && plan.seen.st_nlink > 1) {
                decide(*job,
                       Outcome::failed(QStringLiteral("The file has %1 names (hard links) and its "
                                                      "tags no longer fit in place; a new copy "
                                                      "would part it from its other names, so it "
                                                      "was left as it was.")
                                           .arg(plan.seen.st_nlink)));
            }
            if (plan.kind == SavePlan::Kind::Rewrite && !job->decided) ++copies;
            held += plan.heldBytes;
            for (const SaveRegion& r : plan.regions)
                held += r.bytes.size() + r.old.size();
            prepareJournal(held);
            if (job->decided) {
                done(*job);
            } else {
                ready.push_back(job.get());
                if (ready.size() >= fLimits.chunk) readyToWrite.notify_one();
            }
            group.push_back(std::move(job));
        });
        {
            const std::lock_guard<std::mutex> lock(shared);
            planned = true;
        }
        readyToWrite.notify_one();
        if (writer.joinable()) {
            // The files written so far are checked while the last chunk is.
            for (;;) {
                std::unique_lock<std::mutex> lock(shared);
                Job* written = nextToCheck();
                lock.unlock();
                if (!written) break;
                check(*written);
            }
            writer.join();
        } else {
            writeReady();
        }
        // In the folder's order, which keeps a folder's files together.
        std::sort(group.begin(), group.end(),
                  [](const auto& a, const auto& b) { return a->index < b->index; });
        std::sort(left.begin(), left.end());
        waiting = std::move(left);

        if (!syncStarted) startSync();
        WorkSharing::forEachIndex(toCheck.size(), [&toCheck](size_t i) { check(*toCheck[i]); });
        // Announced once the check is done, as the save waits for the disk.
        if (!targets.empty()) SaveSteps::step("tags-sync");
        if (syncing.joinable()) syncing.join();
        for (auto& job : group) {
            if (!pending(*job)) continue;
            const QString& why = job->checked;
            if (why.isNull()) continue;
            TROVIX_LOG() << "Saving" << job->plan.target << "failed its check:" << why;
            if (job->copy) {
                job->copy.reset();
                decide(*job, Outcome::failed(QStringLiteral("The saved file did not read back as "
                                                            "written (%1); the file was left as "
                                                            "it was.")
                                                 .arg(why)));
            } else {
                SaveSteps::step("tags-restore");
                const bool restored = restore(job->plan);
                if (!restored) keepJournal(*job);
                decide(*job,
                       Outcome::failed(
                           restored ? QStringLiteral("The saved file did not read back as written "
                                                     "(%1); its old content was put back.")
                                          .arg(why)
                                    : QStringLiteral("The saved file did not read back as written "
                                                     "(%1), and its old content could not be put "
                                                     "back; the next opening of its folder will "
                                                     "try again.")
                                          .arg(why)));
            }
        }

        // 5. What could not be synced is put back or removed.
        for (auto [i, error] : unsynced) {
            Job* job = toSync[i];
            if (!pending(*job)) continue; // failed its check
            const QString why = QStringLiteral("The file could not be written to the disk: %1.")
                                    .arg(Durable::errnoText(error));
            if (job->copy) {
                job->copy.reset();
            } else {
                SaveSteps::step("tags-restore");
                if (!restore(job->plan)) keepJournal(*job);
            }
            decide(*job, Outcome::failed(why));
        }

        // 6. The new copies replace their files. Each replaced file stays
        // open across its rename, so that its old content is freed when
        // that descriptor closes, off this thread: freed by the rename, it
        // took most of a rewritten folder's replace step.
        OldContent oldContent;
        QSet<QString> folders;
        for (auto& job : group) {
            if (!pending(*job) || !job->copy) continue;
            struct stat now {};
            if (::stat(QFile::encodeName(job->plan.target).constData(), &now) != 0 ||
                !FileIO::sameFile(now, job->plan.seen)) {
                job->copy.reset();
                decide(*job, Outcome::failed(changedMessage()));
                continue;
            }
            SaveSteps::step("tags-replace");
            oldContent.keep(job->plan.target);
            const Outcome replaced = job->copy->replace(job->plan.target);
            if (!replaced.ok()) {
                job->copy.reset();
                decide(*job, Outcome::failed(
                                 QStringLiteral("The new file could not replace the old one: %1.")
                                     .arg(replaced.reason)));
                continue;
            }
            folders.insert(QFileInfo(job->plan.target).absolutePath());
        }
        for (const QString& folder : folders)
            Durable::syncFolder(QFile::encodeName(folder));

        // Some file could not be put back: its copies stay for recovery.
        for (auto& [key, at] : journals)
            if (at.keep) {
                at.journal.keep();
                at.keep = false;
            }

        for (auto& job : group) {
            if (pending(*job)) decide(*job, Outcome::done());
            if (job->outcome.code == Outcome::Code::Failed)
                TROVIX_LOG() << "Saving" << (job->file ? job->file->path() : QString())
                             << "failed:" << job->outcome.reason;
            outcomes[size_t(job->index)] = job->outcome;
            fWritten[size_t(job->index)] =
                job->outcome.ok() && job->plan.kind != SavePlan::Kind::Nothing;
        }
        // Each file object learns what was written, on a core of its own:
        // each stats its file, a rewritten one reads its layout again.
        WorkSharing::forEachIndex(group.size(), [&group](size_t i) {
            const Job& job = *group[i];
            if (job.plan.finish) job.plan.finish(job.outcome.ok());
        });
    }
    // 7. Every write is on disk: the rollback copies go.
    bool announced = false;
    for (auto& [key, at] : journals) {
        if (!at.journal.isOpen()) continue;
        if (!announced) SaveSteps::step("tags-journal-remove");
        announced = true;
        at.journal.remove();
    }
    return outcomes;
}

Outcome SaveBatch::saveOne(MusicFile& file) {
    SaveBatch batch(QFileInfo(file.path()).absolutePath());
    batch.add(&file);
    return batch.commit().front();
}

RecoveryReport SaveBatch::recover(const FolderHandle& folder) {
    RecoveryReport report = RollbackJournal::recover(folder);
    report.add({TempCopy::removeOrphans(folder), {}});
    return report;
}

RecoveryReport SaveBatch::recover(const QString& folder) {
    FolderHandle handle;
    if (!handle.open(QFileInfo(folder).canonicalFilePath())) {
        TROVIX_LOG() << "No recovery in" << folder << ":" << Durable::errnoText(errno);
        return {};
    }
    return recover(handle);
}
