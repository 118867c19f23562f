#include "save/SaveRequest.h"

#include "media/MP3File.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/FolderBackup.h"
#include "save/RenameAlerts.h"
#include "save/RenameJournal.h"
#include "save/SaveBatch.h"
#include "system/Durable.h"
#include "system/FolderLock.h"
#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/ProgressIndicator.h"
#include "system/SaveSteps.h"
#include "system/WorkSharing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A folder's save counts its files; a single file's names its step.
class ProgressSteps {
public:
    ProgressSteps(ProgressIndicator* p, bool counted) : fP(p), fCounted(counted) {}
    ProgressIndicator* p() const { return fP; }
    void begin(const QString& caption, const QString& singleCaption, int max,
               bool cancelable = false) {
        if (!fP) return;
        if (fCounted)
            fP->NotifyBeginDet(caption, 0, max, cancelable);
        else
            fP->NotifyBeginInd(singleCaption, false);
    }
    // A stop request, or the sheet's Cancel during a cancelable phase.
    bool stopped() const { return SaveSteps::stopRequested() || (fP && fP->cancelled()); }
    void bump(int amount = 1) {
        if (fP && fCounted) fP->NotifyBump(amount);
    }

private:
    ProgressIndicator* fP;
    bool fCounted;
};

Alert okAlert(const QString& title, const QString& message) {
    return {title, message, {QStringLiteral("OK")}};
}

// The worker's own file object with the request's fields set on it in
// memory: a copy of the record's, or else the file opened afresh (null when
// it cannot be read). Either way, a change another program made since the
// window read the file is refused at the write.
std::shared_ptr<MusicFile> openTagged(const SaveRequest& request, const QString& folder,
                                      const SaveRequest::File& file) {
    std::shared_ptr<MusicFile> music = file.opened ? file.opened->copyAsOpened() : nullptr;
    if (!music) {
        music = MusicFileFactory::newMusicFileWithPath(folder + QLatin1Char('/') + file.name);
        if (!music) return nullptr;
        struct stat opened {};
        if (file.opened && file.opened->openedState(&opened)) music->takeOpenedState(opened);
    }
    if (auto* mp3 = dynamic_cast<MP3File*>(music.get())) {
        mp3->setTagVersion(request.tagVersion);
        mp3->setHomePage(request.homePage);
    }
    music->setTags(file.tags, file.fields);
    return music;
}

// One save's state on the worker.
class SaveRun {
public:
    SaveRun(const SaveRequest& request, ProgressIndicator* progress)
        : fRequest(request), fSingle(request.scope == SaveRequest::Scope::SingleFile),
          fSteps(progress, !fSingle) {
        fReport.folder = request.folder;
    }

    SaveReport run() {
        // One save per folder at a time, across processes too; the lock is
        // held until the folder has its new name.
        FolderLock folderLock;
        const Outcome locked = folderLock.tryLock(fRequest.folder);
        if (!locked.ok()) {
            alert(fSingle ? QStringLiteral("File Not Saved") : QStringLiteral("Folder Not Saved"),
                  locked.reason);
            return fReport;
        }
        // The user asked for a copy before anything changes: without it,
        // nothing is written.
        if (fRequest.backup && !backup()) return fReport;
        fReport.reachedWrite = true;
        retag();
        readBack();
        return fReport;
    }

private:
    struct Opened {
        const SaveRequest::File* file;
        std::shared_ptr<MusicFile> music;
        QString finalName;
        bool saved = false;
        bool written = false; // opened for writing: saved with something to change
    };

    void alert(const QString& title, const QString& message) {
        fReport.alerts << okAlert(title, message);
    }
    void fail(const QString& file, const QString& reason) {
        TROVIX_LOG() << "Not saved:" << file << reason;
        fReport.failures.append({file, reason});
    }

    // A copy of the folder, or of the single file, in the backups folder.
    bool backup() {
        FolderBackup::Copy r;
        if (!fSingle) {
            r = FolderBackup::backupFolder(fRequest.folder, fSteps.p());
        } else {
            // A request without its file writes nothing: nothing to keep.
            if (fRequest.files.isEmpty()) return true;
            if (fSteps.p())
                fSteps.p()->NotifyBeginInd(QStringLiteral("Backing up file to Music folder..."),
                                           false);
            r = FolderBackup::backupFile(fRequest.folder + QLatin1Char('/') +
                                         fRequest.files.front().name);
        }
        if (r.ok()) return true;
        TROVIX_LOG() << "Backup to" << r.target << "failed:" << r.outcome.reason;
        alert(QStringLiteral("Backup Failed"),
              QStringLiteral("The %1 could not be backed up to \"%2\", so nothing was saved. %3")
                  .arg(fSingle ? QStringLiteral("file") : QStringLiteral("folder"),
                       FolderBackup::backupsFolder(), r.outcome.reason));
        return false;
    }

    // Writes every file's new tags as one batch, each set in memory on a
    // file object of its own as the batch comes to the file.
    void retag() {
        const QString& folder = fRequest.folder;
        fSteps.begin(QStringLiteral("Re-tagging files..."), QStringLiteral("Re-tagging..."),
                     fRequest.recordCount + 1, true);
        fSteps.bump();
        SaveBatch batch(folder);
        // Each file's tags are set in memory (on a file read again where
        // the record's could not be copied), with its picture and custom
        // tag, just before its write is planned, on the core that plans it:
        // the first files are written while the rest are read. Every track
        // of a save asks for the same cover file: it is written once, as
        // the first file is read that is to be saved at all.
        std::once_flag coverOnce;
        bool coverWritten = false;
        for (const SaveRequest::File& f : fRequest.files)
            fOpened.push_back({&f, nullptr, f.name, false});
        for (size_t i = 0; i < fOpened.size(); ++i) {
            batch.add([this, i, &folder, &coverOnce, &coverWritten]() -> MusicFile* {
                Opened& o = fOpened[i];
                o.music = openTagged(fRequest, folder, *o.file);
                if (!o.music) return nullptr;
                std::call_once(coverOnce, [this, &coverWritten] {
                    coverWritten = fRequest.writeCoverFile && fRequest.writeCoverFile();
                });
                if (fRequest.applyCover)
                    fRequest.applyCover(*o.music, o.file->pictureFormat, coverWritten);
                if (fRequest.tag) o.music->setTags({.custom = *fRequest.tag}, TagField::Custom);
                return o.music.get();
            });
        }
        const std::vector<Outcome> outcomes =
            batch.commit([this] { return fSteps.stopped(); }, [this](int) { fSteps.bump(); });
        QList<Opened*> retagged;
        for (size_t i = 0; i < fOpened.size(); ++i) {
            const Outcome& o = outcomes[i];
            if (o.ok()) {
                fOpened[i].saved = true;
                fOpened[i].written = batch.written()[i];
                retagged << &fOpened[i];
                continue;
            }
            // The file keeps its old tags, so the record does too.
            fail(fOpened[i].file->name,
                 o.code == Outcome::Code::Stopped
                     ? QStringLiteral("The save was stopped before this file was written.")
                     : o.reason);
        }
        if (fSteps.stopped()) {
            if (fRequest.renameFolder)
                fail(QFileInfo(folder).fileName(),
                     QStringLiteral("The save was stopped, so the folder was not renamed."));
            return;
        }
        rename(retagged);
    }

    // Names are decided before anything moves, so the journal holds the
    // whole plan and files may exchange names.
    void rename(const QList<Opened*>& retagged) {
        const QString& folder = fRequest.folder;
        fSteps.begin(QStringLiteral("Renaming tracks..."), QStringLiteral("Renaming..."),
                     int(retagged.size()) + 1);
        fSteps.bump();
        RenameAlerts alerts([this](const Alert& a) { fReport.alerts << a; });
        RenamePlan plan;
        QList<Opened*> planned;
        if (fRequest.renameTracks && !retagged.isEmpty()) {
            QList<Opened*> wanted;
            QSet<QString> leaving;
            for (Opened* o : retagged) {
                if (o->file->newName.isEmpty()) {
                    fail(o->file->name, QStringLiteral("The naming template gave no name."));
                    continue;
                }
                if (o->file->newName == o->file->name) continue;
                wanted << o;
                leaving.insert(o->file->name);
            }
            QSet<QString> assigned;
            const auto taken = [&](const QString& name) {
                return assigned.contains(name) ||
                       (!leaving.contains(name) && pathExists(folder + QLatin1Char('/') + name));
            };
            const qint64 pid = QCoreApplication::applicationPid();
            int n = 0;
            // Temporary names are made up to miss what the folder holds; a
            // name that turns up meanwhile is never replaced (the move fails).
            const QStringList present = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                               QDir::System | QDir::NoDotAndDotDot);
            const QSet<QString> inFolder(present.begin(), present.end());
            for (Opened* o : wanted) {
                const SaveRequest::File& f = *o->file;
                RenameEntry e;
                e.oldName = f.name;
                e.newName = AudioTrack::freeFileName(f.newName, f.name, f.numberedName, f.nameLimit,
                                                     taken, &alerts);
                struct stat st;
                if (e.newName.isEmpty() ||
                    ::lstat(QFile::encodeName(folder + QLatin1Char('/') + f.name).constData(),
                            &st) != 0) {
                    fail(e.oldName, QStringLiteral("No free name was found for it."));
                    continue;
                }
                e.device = st.st_dev;
                e.inode = st.st_ino;
                const QString extension = QFileInfo(e.oldName).suffix();
                do {
                    e.tempName = AudioTrack::tempFileName(pid, n++, extension);
                } while (inFolder.contains(e.tempName));
                assigned.insert(e.newName);
                plan.files << e;
                planned << o;
            }
        }
        const QString& newFolderName = fRequest.newFolderName;
        if (!newFolderName.isNull() && fReport.failures.isEmpty()) {
            // In the journal only while every file is on course, so finishing
            // an interrupted plan never renames a folder some file failed in.
            plan.oldFolderName = QFileInfo(folder).fileName();
            plan.newFolderName = newFolderName;
        }

        const RenameJournal::Run run = RenameJournal::run(
            folder, plan, [] { return SaveSteps::stopRequested(); },
            [&](bool allMoved) {
                if (newFolderName.isNull()) return folder;
                // The folder is named after its files: only when every one
                // was saved.
                if (!allMoved || !fReport.failures.isEmpty()) {
                    fail(QFileInfo(folder).fileName(),
                         QStringLiteral("The folder was not renamed to \"%1\", because not "
                                        "every file was saved.")
                             .arg(newFolderName));
                    return folder;
                }
                return renameFolder();
            });
        for (qsizetype i = 0; i < planned.size(); ++i) {
            const RenamedFile& o = run.outcomes[size_t(i)];
            if (!o.finalName.isEmpty()) planned[i]->finalName = o.finalName;
            if (!o.outcome.ok()) fail(planned[i]->file->name, o.outcome.reason);
            fSteps.bump();
        }
    }

    // Gives the folder its new name; never replaces an existing one.
    // Answers where the folder is now.
    QString renameFolder() {
        const QString& folder = fRequest.folder;
        const QString& newName = fRequest.newFolderName;
        const QFileInfo current(folder);
        const QString newPath = current.path() + QLatin1Char('/') + newName;
        const auto duplicate = [&] {
            alert(QStringLiteral("Duplicate Folder Name"),
                  QStringLiteral("A folder named \"%1\" already exists! Its name will remain "
                                 "\"%2\".")
                      .arg(newName, current.fileName()));
            return folder;
        };
        if (pathExists(newPath)) return duplicate();
        TROVIX_LOG() << QStringLiteral("Renaming %1 to %2...").arg(folder, newPath);
        SaveSteps::step("rename-folder");
        const Outcome r = moveWithoutReplacing(folder, newPath);
        if (r.code == Outcome::Code::Exists) return duplicate();
        if (!r.ok()) {
            // A refusal is a failure of the save, not a remark beside a
            // success.
            fail(current.fileName(),
                 QStringLiteral("The folder could not be renamed to \"%1\": %2. Its name will "
                                "remain \"%3\".")
                     .arg(newName, r.reason, current.fileName()));
            return folder;
        }
        // The new folder entry is durable before the save says it is done.
        Durable::syncFolderOf(newPath);
        fReport.folder = newPath;
        return newPath;
    }

    // The written files as they now are, for the records.
    void readBack() {
        fSteps.begin(QStringLiteral("Reading back new tags..."),
                     QStringLiteral("Reading back new tags..."), fRequest.recordCount + 1);
        fSteps.bump();
        // Each record from a file object of its own, on every core, made
        // where the report keeps it (moving a thousand there afterwards took
        // milliseconds). Every file lies in the one folder, whose
        // writability is asked once; a file just written is writable, and
        // asking (a look-up of its path) took half of this step.
        fReport.files.resize(qsizetype(fOpened.size()));
        SaveReport::File* files = fReport.files.data();
        const bool folderWritable = AudioTrack::folderWritable(fReport.folder);
        WorkSharing::forEachIndex(fOpened.size(), [this, files, folderWritable](size_t i) {
            Opened& o = fOpened[i];
            SaveReport::File& r = files[i];
            r.row = o.file->row;
            r.written = o.saved;
            r.name = o.finalName;
            if (o.saved) {
                const QString path = fReport.folder + QLatin1Char('/') + o.finalName;
                if (o.music->path() != path) o.music->refreshAfterRename(path);
                r.readBack =
                    AudioTrack::initWithFile(path, std::move(o.music), folderWritable, o.written);
            }
        });
        fSteps.bump(int(fOpened.size()));
    }

    const SaveRequest& fRequest;
    const bool fSingle;
    ProgressSteps fSteps;
    SaveReport fReport;
    std::vector<Opened> fOpened;
};

} // namespace

SaveReport SaveRequest::run(ProgressIndicator* progress) const {
    return SaveRun(*this, progress).run();
}
