#include "media/SaveBatch.h"

#include "media/FileIO.h"
#include "media/MusicFile.h"
#include "media/RollbackJournal.h"
#include "media/SavePlan.h"
#include "media/TempCopy.h"
#include "system/Log.h"
#include "system/SaveSteps.h"
#include "system/WorkSharing.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Up to this many files are synced one by one; more with one syncfs.
constexpr size_t kFewFiles = 4;
// Files planned side by side between two looks at the group's size.
constexpr int kPlannedTogether = 32;

struct Job {
    int index = 0;
    MusicFile* file = nullptr;
    SavePlan plan;
    bool decided = false;
    FileSaveOutcome outcome;
    bool touched = false;           // in place: some bytes were overwritten
    std::unique_ptr<TempCopy> copy; // rewrite: the new file
};

void decide(Job& job, FileSaveOutcome::Code code, const QString& reason = QString()) {
    job.decided = true;
    job.outcome = {code, reason};
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
int openPlanned(const SavePlan& plan, int flags, QString* why) {
    const QByteArray native = QFile::encodeName(plan.target);
    // Non-blocking, so that a FIFO put in the file's place cannot hang us.
    const int fd = ::open(native.constData(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *why = FileIO::whyNotOpened(errno);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *why = QStringLiteral("The file is in use by another program.");
        ::close(fd);
        return -1;
    }
    struct stat now {
    }, atPath{};
    if (::fstat(fd, &now) != 0 || ::stat(native.constData(), &atPath) != 0 ||
        !FileIO::sameFile(now, plan.seen) || !FileIO::sameFile(atPath, plan.seen)) {
        *why = changedMessage();
        ::close(fd);
        return -1;
    }
    return fd;
}

// Puts back the old bytes and size of an in-place write.
bool restore(const SavePlan& plan) {
    const int fd = ::open(QFile::encodeName(plan.target).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::ftruncate(fd, plan.seen.st_size) == 0;
    for (const SaveRegion& r : plan.regions)
        ok = ok && FileIO::writeAt(fd, r.old.constData(), size_t(r.old.size()), r.offset);
    ok = ok && ::fdatasync(fd) == 0;
    ::close(fd);
    if (!ok) TROVIX_LOG() << "Could not put back the old content of" << plan.target;
    return ok;
}

bool writeInPlace(Job& job, QString* why) {
    SavePlan& plan = job.plan;
    const int fd = openPlanned(plan, O_RDWR, why);
    if (fd < 0) return false;
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
    if (!ok)
        *why = QStringLiteral("The file could not be written: %1.").arg(FileIO::errnoText(errno));
    ::close(fd);
    return ok;
}

bool writeCopy(Job& job, QString* why) {
    SavePlan& plan = job.plan;
    const int in = openPlanned(plan, O_RDONLY, why);
    if (in < 0) return false;
    const FileIO::ClosedAtExit closer{in};
    auto copy = std::make_unique<TempCopy>();
    if (!copy->create(plan.target, why)) return false;
    SaveSteps::step("tags-copy");
    QString detail;
    if (!plan.writeNew(in, copy->fd(), &detail)) {
        *why = detail.isEmpty()
                   ? QStringLiteral("The file could not be written: %1. It was left as "
                                    "it was.")
                         .arg(FileIO::errnoText(errno))
                   : detail;
        return false;
    }
    if (!copy->keepMetadataOf(in, plan.seen, &detail)) {
        *why = QStringLiteral("The tags do not fit in place, and %1; the file was left as it was.")
                   .arg(detail);
        return false;
    }
    if (!copy->close(&detail)) {
        *why =
            QStringLiteral("The file could not be written: %1. It was left as it was.").arg(detail);
        return false;
    }
    job.copy = std::move(copy);
    return true;
}

QString writtenPath(const Job& job) {
    return job.copy ? job.copy->path() : job.plan.target;
}

// Makes every written file last: fdatasync of each of a few, else one
// syncfs per file system, falling back to each file when it fails. The
// jobs whose data could not be synced, with the error.
std::vector<std::pair<Job*, int>> syncAll(const std::vector<Job*>& written) {
    std::vector<std::pair<Job*, int>> failed;
    auto syncOne = [&failed](Job* job) {
        const int fd =
            ::open(QFile::encodeName(writtenPath(*job)).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fdatasync(fd) != 0) failed.emplace_back(job, errno);
        if (fd >= 0) ::close(fd);
    };
    if (written.size() <= kFewFiles) {
        for (Job* job : written)
            syncOne(job);
        return failed;
    }
    std::map<dev_t, std::vector<Job*>> byDevice;
    for (Job* job : written)
        byDevice[job->plan.seen.st_dev].push_back(job);
    for (auto& [device, jobs] : byDevice) {
        const QByteArray folder =
            QFile::encodeName(QFileInfo(writtenPath(*jobs.front())).absolutePath());
        const int fd = FileIO::openFolder(folder);
        const bool ok = fd >= 0 && ::syncfs(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (ok) continue;
        for (Job* job : jobs)
            syncOne(job);
    }
    return failed;
}

} // namespace

SaveBatch::SaveBatch(const QString& folder) : SaveBatch(folder, GroupLimits{}) {}

SaveBatch::SaveBatch(const QString& folder, GroupLimits limits) : fFolder(folder), fLimits(limits) {
    fLimits.files = std::max<size_t>(fLimits.files, 1);
    fLimits.copies = std::max<size_t>(fLimits.copies, 1);
}

SaveBatch::~SaveBatch() = default;

void SaveBatch::add(MusicFile* file) {
    fFiles.push_back(file);
}

std::vector<FileSaveOutcome> SaveBatch::commit(const std::function<bool()>& stop,
                                               const std::function<void(int)>& progress) {
    const int count = int(fFiles.size());
    std::vector<FileSaveOutcome> outcomes(size_t(count),
                                          {FileSaveOutcome::Code::Stopped, QString()});
    bool stopped = false;
    auto askStop = [&] { return stopped || (stopped = stop && stop()); };
    auto done = [&](const Job& job) {
        if (progress) progress(job.index);
    };

    // One journal for the save: each group writes over the copies of the
    // one before, whose files are on disk by then.
    RollbackJournal journal;
    for (int next = 0; next < count && !askStop();) {
        // 1. Plan a group: a few files at a time, each on a core of its own
        // (planning reads but never writes), until the group is full.
        std::vector<std::unique_ptr<Job>> group;
        qsizetype held = 0;
        size_t copies = 0;
        std::vector<std::unique_ptr<Job>> planned;
        auto planSome = [&] {
            const int some = std::min({count - next, int(fLimits.files - group.size()),
                                       kPlannedTogether, int(fLimits.copies - copies)});
            planned.resize(size_t(some));
            for (int i = 0; i < some; ++i) {
                planned[size_t(i)] = std::make_unique<Job>();
                planned[size_t(i)]->index = next + i;
                planned[size_t(i)]->file = fFiles[size_t(next + i)];
            }
            next += some;
            WorkSharing::forEachIndex(planned.size(), [&planned](size_t i) {
                planned[i]->plan = planned[i]->file->planSave();
            });
        };
        while (next < count && group.size() < fLimits.files && copies < fLimits.copies &&
               held < fLimits.bytes) {
            if (!group.empty() && askStop()) break;
            planSome();
            for (auto& job : planned) {
                SavePlan& plan = job->plan;
                if (plan.kind == SavePlan::Kind::Refused) {
                    decide(*job, FileSaveOutcome::Code::Failed, plan.reason);
                } else if (plan.kind == SavePlan::Kind::Nothing) {
                    decide(*job, FileSaveOutcome::Code::Saved);
                } else if (plan.kind == SavePlan::Kind::Rewrite && plan.seen.st_nlink > 1) {
                    decide(
                        *job, FileSaveOutcome::Code::Failed,
                        QStringLiteral("The file has %1 names (hard links) and its tags no longer "
                                       "fit in place; a new copy would part it from its other "
                                       "names, so it was left as it was.")
                            .arg(plan.seen.st_nlink));
                }
                if (plan.kind == SavePlan::Kind::Rewrite && !job->decided) ++copies;
                held += plan.heldBytes;
                for (const SaveRegion& r : plan.regions)
                    held += r.bytes.size() + r.old.size();
                if (job->decided) done(*job);
                group.push_back(std::move(job));
            }
        }

        // 2. The rollback copies of the in-place writes, on disk first.
        std::vector<const SavePlan*> inPlace;
        for (auto& job : group)
            if (pending(*job) && job->plan.kind == SavePlan::Kind::InPlace)
                inPlace.push_back(&job->plan);
        if (!inPlace.empty()) {
            SaveSteps::step("tags-journal");
            QString why;
            if (!journal.write(fFolder, inPlace, &why)) {
                for (auto& job : group)
                    if (pending(*job) && job->plan.kind == SavePlan::Kind::InPlace) {
                        decide(*job, FileSaveOutcome::Code::Failed,
                               QStringLiteral("No rollback copy could be written to the folder "
                                              "(%1), so the file was not changed.")
                                   .arg(why));
                        done(*job);
                    }
            }
        }

        // 3. Write.
        bool keepJournal = false;
        for (auto& job : group) {
            if (!pending(*job)) continue;
            if (askStop()) {
                decide(*job, FileSaveOutcome::Code::Stopped);
                continue;
            }
            QString why;
            const bool inPlaceWrite = job->plan.kind == SavePlan::Kind::InPlace;
            const bool ok = inPlaceWrite ? writeInPlace(*job, &why) : writeCopy(*job, &why);
            if (!ok) {
                if (job->touched && !restore(job->plan)) keepJournal = true;
                job->copy.reset();
                decide(*job, FileSaveOutcome::Code::Failed, why);
            }
            done(*job);
        }

        // 4. Check what was written, while the old content is still at hand:
        // reading only, each file on a core of its own.
        std::vector<QString> checked(group.size());
        WorkSharing::forEachIndex(group.size(), [&group, &checked](size_t i) {
            const Job& job = *group[i];
            if (pending(job) && job.plan.verify) checked[i] = job.plan.verify(writtenPath(job));
        });
        std::vector<Job*> written;
        for (size_t i = 0; i < group.size(); ++i) {
            const std::unique_ptr<Job>& job = group[i];
            if (!pending(*job)) continue;
            const QString& why = checked[i];
            if (why.isNull()) {
                written.push_back(job.get());
                continue;
            }
            TROVIX_LOG() << "Saving" << job->plan.target << "failed its check:" << why;
            if (job->copy) {
                job->copy.reset();
                decide(*job, FileSaveOutcome::Code::Failed,
                       QStringLiteral("The saved file did not read back as written (%1); the "
                                      "file was left as it was.")
                           .arg(why));
            } else {
                SaveSteps::step("tags-restore");
                if (!restore(job->plan)) keepJournal = true;
                decide(*job, FileSaveOutcome::Code::Failed,
                       QStringLiteral("The saved file did not read back as written (%1); its old "
                                      "content was put back.")
                           .arg(why));
            }
        }

        // 5. One sync for the group.
        if (!written.empty()) {
            SaveSteps::step("tags-sync");
            for (auto [job, error] : syncAll(written)) {
                const QString why = QStringLiteral("The file could not be written to the disk: %1.")
                                        .arg(FileIO::errnoText(error));
                if (job->copy) {
                    job->copy.reset();
                } else {
                    SaveSteps::step("tags-restore");
                    if (!restore(job->plan)) keepJournal = true;
                }
                decide(*job, FileSaveOutcome::Code::Failed, why);
            }
        }

        // 6. The new copies replace their files.
        QSet<QString> folders;
        for (auto& job : group) {
            if (!pending(*job) || !job->copy) continue;
            struct stat now {};
            if (::stat(QFile::encodeName(job->plan.target).constData(), &now) != 0 ||
                !FileIO::sameFile(now, job->plan.seen)) {
                job->copy.reset();
                decide(*job, FileSaveOutcome::Code::Failed, changedMessage());
                continue;
            }
            SaveSteps::step("tags-replace");
            QString why;
            if (!job->copy->replace(job->plan.target, &why)) {
                job->copy.reset();
                decide(*job, FileSaveOutcome::Code::Failed,
                       QStringLiteral("The new file could not replace the old one: %1.").arg(why));
                continue;
            }
            folders.insert(QFileInfo(job->plan.target).absolutePath());
        }
        for (const QString& folder : folders)
            FileIO::syncFolder(QFile::encodeName(folder));

        // Some file could not be put back: its copies stay for recovery.
        if (keepJournal) journal.keep();

        for (auto& job : group) {
            if (pending(*job)) decide(*job, FileSaveOutcome::Code::Saved);
            if (job->outcome.code == FileSaveOutcome::Code::Failed)
                TROVIX_LOG() << "Saving" << job->file->path() << "failed:" << job->outcome.reason;
            if (job->plan.finish) job->plan.finish(job->outcome.ok());
            job->file->fLastError = job->outcome.ok() ? QString() : job->outcome.reason;
            outcomes[size_t(job->index)] = job->outcome;
        }
    }
    // 7. Every write is on disk: the rollback copies go.
    if (journal.isOpen()) {
        SaveSteps::step("tags-journal-remove");
        journal.remove();
    }
    return outcomes;
}

QStringList SaveBatch::recover(const QString& folder) {
    QStringList names = RollbackJournal::recover(folder);
    for (const QString& name : TempCopy::removeOrphans(folder))
        if (!names.contains(name)) names << name;
    return names;
}
