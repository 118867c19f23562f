#include "docs/FileSavePlan.h"

#include "docs/RenameAlerts.h"
#include "media/MusicFile.h"
#include "save/FolderBackup.h"
#include "save/RenameJournal.h"
#include "save/SaveBatch.h"
#include "system/FolderLock.h"
#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/ProgressIndicator.h"
#include "system/SaveSteps.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

// One save's state on the worker.
class FileSave {
public:
    FileSave(const FileSavePlan& plan, ProgressIndicator* progress)
        : fPlan(plan), fProgress(progress) {
        fReport.path = plan.path;
    }

    FileSaveReport run() {
        const QFileInfo info(fPlan.path);
        FolderLock folderLock;
        const FolderLock::Code locked = folderLock.tryLock(info.absolutePath());
        if (locked != FolderLock::Code::Locked) {
            alert(QStringLiteral("File Not Saved"), folderLock.refusal(locked));
            return fReport;
        }
        // Without the copy the user asked for, nothing is written.
        if (fPlan.backup) {
            step(QStringLiteral("Backing up file to Music folder..."));
            const FolderBackup::Result r = FolderBackup::backupFile(fPlan.path);
            if (!r.ok()) {
                TROVIX_LOG() << "Backup to" << r.target << "failed:" << r.reason;
                alert(QStringLiteral("Backup Failed"),
                      QStringLiteral("The file could not be backed up to \"%1\", so nothing was "
                                     "saved. %2")
                          .arg(FolderBackup::backupsFolder(), r.reason));
                return fReport;
            }
        }
        fReport.reachedWrite = true;
        if (fPlan.write) retag();
        step(QStringLiteral("Reading back new tags..."));
        if (fMusic) {
            if (fMusic->path() != fReport.path) fMusic->refreshAfterRename(fReport.path);
            fReport.readBack = AudioTrack::initWithFile(fReport.path, std::move(fMusic));
        }
        return fReport;
    }

private:
    void step(const QString& caption) {
        if (fProgress) fProgress->NotifyBeginInd(caption, false);
    }
    void alert(const QString& title, const QString& message) {
        fReport.alerts << Alert{title, message, {QStringLiteral("OK")}};
    }
    void fail(const QString& file, const QString& reason) {
        TROVIX_LOG() << "Not saved:" << file << reason;
        fReport.failures.append({file, reason});
    }

    void retag() {
        step(QStringLiteral("Re-tagging..."));
        const QFileInfo info(fPlan.path);
        const QString name = info.fileName();
        std::shared_ptr<MusicFile> music =
            fPlan.options.openTagged(fPlan.path, fPlan.haveOpened ? &fPlan.opened : nullptr,
                                     fPlan.tags, SaveOptions::kWrittenFields);
        if (!music) {
            fail(name, QStringLiteral("The file could not be read again for saving."));
            return;
        }
        if (!fPlan.cover.isEmpty()) fPlan.cover.applyTo(*music, fPlan.pictureFormat, false);
        SaveBatch batch(info.absolutePath());
        batch.add(music.get());
        const std::vector<FileSaveOutcome> outcomes =
            batch.commit([] { return SaveSteps::stopRequested(); });
        if (outcomes.empty() || !outcomes.front().ok()) {
            // The file keeps its old tags and its name, so the record does too.
            fail(name, outcomes.empty() ? music->lastError()
                       : outcomes.front().code == FileSaveOutcome::Code::Stopped
                           ? QStringLiteral("The save was stopped before this file was written.")
                           : outcomes.front().reason);
            return;
        }
        fMusic = std::move(music);
        step(QStringLiteral("Renaming..."));
        if (fPlan.options.renameTracks && !SaveSteps::stopRequested()) rename(info);
    }

    void rename(const QFileInfo& info) {
        const QString folder = info.absolutePath();
        const QString oldName = info.fileName();
        if (fPlan.newName.isEmpty()) {
            fail(oldName, QStringLiteral("The naming template gave no name."));
            return;
        }
        RenameAlerts alerts([this](const Alert& a) { fReport.alerts << a; });
        RenameEntry e;
        e.oldName = oldName;
        e.newName = AudioTrack::freeFileName(
            fPlan.newName, oldName, fPlan.numberedName, fPlan.nameLimit,
            [&folder](const QString& name) { return pathExists(folder + QLatin1Char('/') + name); },
            &alerts);
        struct stat st;
        if (e.newName.isEmpty()) {
            fail(oldName, QStringLiteral("No free name was found for it."));
            return;
        }
        if (e.newName == oldName || ::lstat(QFile::encodeName(fPlan.path).constData(), &st) != 0)
            return;
        e.device = st.st_dev;
        e.inode = st.st_ino;
        int k = 0;
        do {
            e.tempName =
                AudioTrack::tempFileName(QCoreApplication::applicationPid(), k++, info.suffix());
        } while (pathExists(folder + QLatin1Char('/') + e.tempName));
        RenamePlan plan;
        plan.files << e;
        const RenameJournal::Run run =
            RenameJournal::run(folder, plan, [] { return SaveSteps::stopRequested(); }, {});
        const RenameOutcome& o = run.outcomes.front();
        if (!o.finalName.isEmpty() && o.finalName != oldName)
            fReport.path = folder + QLatin1Char('/') + o.finalName;
        if (!o.failure.isNull()) fail(oldName, o.failure);
    }

    const FileSavePlan& fPlan;
    ProgressIndicator* fProgress;
    FileSaveReport fReport;
    std::shared_ptr<MusicFile> fMusic; // written
};

} // namespace

FileSaveReport FileSavePlan::run(ProgressIndicator* progress) const {
    return FileSave(*this, progress).run();
}
