// Saving a folder document: the checks, the backup, retagging, renaming the
// files and the folder, and closing after a save.
#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/FolderBackup.h"
#include "docs/RenameAlerts.h"
#include "docs/RenameJournal.h"
#include "media/MusicFile.h"
#include "media/SaveBatch.h"
#include "system/FolderLock.h"
#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/ProgressIndicator.h"
#include "system/SaveSteps.h"
#include "text/MacRoman.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kOK = QStringLiteral("OK");
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");

class ProgressSteps {
public:
    explicit ProgressSteps(ProgressIndicator* p) : fP(p) {}
    void begin(const QString& caption, int max, bool cancelable = false) {
        if (fP) fP->NotifyBeginDet(caption, 0, max, cancelable);
    }
    // A stop request, or the sheet's Cancel during a cancelable phase.
    bool stopped() const { return SaveSteps::stopRequested() || (fP && fP->cancelled()); }
    void bump() {
        if (fP) fP->NotifyBump(1);
    }

private:
    ProgressIndicator* fP;
};

// The new folder entry is durable before the save says it is done.
void syncFolderOf(const QString& path) {
    const QByteArray parent = QFile::encodeName(QFileInfo(path).path());
    const int fd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

// Checks -------------------------------------------------------------------

void TrovixDocument::saveDocument() {
    if (!isIdle() || fClosed || !fHost) return;
    fHost->endEditing();

    const auto fail = [this](const QString& title, const QString& message) {
        fHost->showAlert({title, message, {kOK}});
    };
    if (artistField().isEmpty())
        return fail(QStringLiteral("Missing Field"),
                    QStringLiteral("The Artist field must be filled in."));
    if (albumField().isEmpty())
        return fail(QStringLiteral("Missing Field"),
                    QStringLiteral("The Album field must be filled in."));

    // Read-only counts real files only: a placeholder is the missing-track
    // question's business, which it would otherwise never reach.
    int readOnly = 0;
    bool missing = false, blank = false;
    QStringList unreadable;
    QString refusal; // a file that is never written says why
    {
        QMutexLocker locker(&fDataLock);
        unreadable = fUnreadableFiles;
        int real = 0, locked = 0;
        for (const AudioTrackRef& t : fSongs) {
            if (t->isPlaceholder()) continue;
            ++real;
            if (!t->okToTag()) ++locked;
            if (refusal.isNull() && t->musicFile()) refusal = t->musicFile()->whyNotWritable();
        }
        readOnly = real == 0 || locked == real ? 2 : locked > 0 ? 1 : 0;
        if (real > 0) unreadable.clear();
        missing = fSongs.anyTracksMissing();
        blank = fSongs.anyTitlesBlank();
    }
    // Nothing opened because nothing could be read: that is not read-only.
    if (!unreadable.isEmpty())
        return fail(unreadable.size() == 1 ? QStringLiteral("Unreadable File")
                                           : QStringLiteral("Unreadable Files"),
                    unreadableMessage(unreadable) + QStringLiteral(" There is nothing to tag."));
    if (readOnly == 1) {
        fHost->showAlert({QStringLiteral("Read-only Files"),
                          QStringLiteral("The grayed-out tracks in the list are not writable. Do "
                                         "you want to tag the writable ones?"),
                          {kYes, kNo}},
                         [this](int button) { alertResp1(button); });
        return;
    }
    if (readOnly == 2 && !refusal.isNull())
        return fail(QStringLiteral("Files Not Written"), refusal);
    if (readOnly == 2)
        return fail(QStringLiteral("Read-only Files"),
                    QStringLiteral("All the files are read-only. They can't be re-tagged unless "
                                   "you copy them to a writable drive."));
    if (missing) {
        fHost->showAlert({QStringLiteral("Missing Track"),
                          QStringLiteral("You are missing one or more tracks of this CD. Do you "
                                         "wish to retag the files that you have?"),
                          {kYes, kNo}},
                         [this](int button) { alertResp1(button); });
        return;
    }
    if (blank) {
        fHost->showAlert(
            {QStringLiteral("Missing Field"),
             QStringLiteral("Some tracks do not have new titles. You can save the ones "
                            "that do, or you can just use the old titles."),
             {QStringLiteral("Cancel"), QStringLiteral("Save Others"),
              QStringLiteral("Use Old Titles")}},
            [this](int button) { alertResp2(button); });
        return;
    }
    if (!canBeMacRoman(genreField()))
        return fail(QStringLiteral("Invalid Genre"),
                    QStringLiteral("The Genre must not contain any Unicode characters."));
    saveAll();
}

// An answer that comes after the document closed (a save-then-close whose
// check raised a question) changes nothing.
void TrovixDocument::alertResp1(int button) {
    if (fClosed) return;
    if (button == 0) saveAll();
}

void TrovixDocument::alertResp2(int button) {
    if (fClosed) return;
    if (button == 1) {
        saveAll();
    } else if (button == 2) {
        copyOldTitlesToNew(true, false);
        saveAll();
    }
}

// The save ----------------------------------------------------------------

void TrovixDocument::saveCommon() {
    const bool rename = Prefs::boolValue(Prefs::kRenameTracks);
    {
        QMutexLocker locker(&fDataLock);
        fSaveFailures.clear();
    }

    // One save per folder at a time, across processes too; the lock is
    // held until the folder has its new name.
    FolderLock folderLock;
    const FolderLock::Code locked = folderLock.tryLock(docPath());
    if (locked != FolderLock::Code::Locked) {
        postAlert(QStringLiteral("Folder Not Saved"),
                  locked == FolderLock::Code::Busy
                      ? FolderLock::kBusyMessage
                      : QStringLiteral("The folder could not be opened for saving: %1.")
                            .arg(folderLock.error()));
        return;
    }

    bool backup = Prefs::boolValue(Prefs::kBackup);
    {
        QMutexLocker locker(&fDataLock);
        for (const AudioTrackRef& t : fSongs)
            if (!t->isPlaceholder() &&
                QFileInfo(t->getFileName()).suffix().compare(u"m4p", Qt::CaseInsensitive) == 0)
                backup = true;
    }
    // The user asked for a copy before anything changes: without it, nothing
    // is written.
    QString reason;
    if (backup && !backupFolder(&reason)) {
        postAlert(QStringLiteral("Backup Failed"),
                  QStringLiteral("The folder could not be backed up to \"%1\", so nothing was "
                                 "saved. %2")
                      .arg(FolderBackup::backupsFolder(), reason));
    } else {
        retagTracks(rename);
        refreshTracks();
        syncWindowTitle();

        concludeSave();
    }

    // Idle again, the redraw and the sheet's close follow on the main thread.
}

bool TrovixDocument::backupFolder(QString* reason) {
    const FolderBackup::Result r = FolderBackup::backupFolder(docPath(), progress());
    if (r.ok()) return true;
    TROVIX_LOG() << "Backup to" << r.target << "failed:" << r.reason;
    if (reason) *reason = r.reason;
    return false;
}

void TrovixDocument::retagTracks(bool rename) {
    ProgressSteps steps(progress());
    const QString folder = docPath();
    QList<AudioTrackRef> songs;
    QString artist, album, year, genre, terms, key;
    bool various = false, reverse = false;
    {
        QMutexLocker locker(&fDataLock);
        songs = fSongs.array();
        artist = fOldArtist;
        album = fOldAlbum;
        year = fOldYear;
        genre = fOldGenre;
        terms = fLastSearch.isEmpty() ? fSearchTerms : fLastSearch;
        various = fVariousArtists;
        reverse = fReverseArtistTitle;
    }
    key = selectedHitKey();

    // What lets a later opening rerun this search and restore the boxes.
    CustomTag tag;
    tag.setIADBSearchTerms(terms);
    tag.setIADBKey(key);
    if (various) {
        tag.setVariousArtist(artist);
        if (reverse) tag.setReverseArtistAlbum(true);
    }

    const int count = int(songs.size());
    steps.begin(QStringLiteral("Re-tagging files..."), count + 1, true);
    steps.bump();
    // Tags are set in memory first, then the whole folder is written as one
    // batch.
    SaveBatch batch(folder);
    QList<QPair<AudioTrackRef, AudioTrack>> written; // the record and its state before
    for (int p = 0; p < count; ++p) {
        const AudioTrackRef& t = songs[p];
        {
            // The file name numbers the track by its row: it must agree with
            // the track number written, whatever the table last drew.
            QMutexLocker locker(&fDataLock);
            t->setRow(uint32_t(p));
        }
        if (t->isPlaceholder() || !t->okToTag() || t->getNewTitle().isEmpty() || !t->musicFile())
            continue;
        AudioTrack before = *t;
        {
            QMutexLocker locker(&fDataLock);
            t->tagArtist(various ? t->getNewArtist() : artist);
            t->tagAlbum(album);
            t->tagYearStr(year);
            t->tagGenre(genre);
            t->tagTitle(t->getNewTitle());
            t->tagTrack(p + 1, count);
            if (fAlbumArtObj) fAlbumArtObj->saveImage(*t, folder);
            t->tagCustomTag(tag);
        }
        batch.add(t->musicFile().get());
        written << qMakePair(t, before);
    }
    const std::vector<FileSaveOutcome> outcomes =
        batch.commit([&steps] { return steps.stopped(); }, [&steps](int) { steps.bump(); });
    QList<AudioTrackRef> retagged;
    for (qsizetype i = 0; i < written.size(); ++i) {
        const auto& [t, before] = written[i];
        const FileSaveOutcome& o = outcomes[size_t(i)];
        if (o.ok()) {
            retagged << t;
            continue;
        }
        // The file keeps its old tags, so the record does too.
        addSaveFailure(before.getFileName(),
                       o.code == FileSaveOutcome::Code::Stopped
                           ? QStringLiteral("The save was stopped before this file was written.")
                           : o.reason);
        QMutexLocker locker(&fDataLock);
        *t = before;
    }

    const bool stopped = steps.stopped();
    const bool renameFolder = Prefs::boolValue(Prefs::kRenameAlbums);
    if (stopped) {
        if (renameFolder)
            addSaveFailure(QFileInfo(folder).fileName(),
                           QStringLiteral("The save was stopped, so the folder was not renamed."));
        notifyTracksChanged();
        return;
    }
    steps.begin(QStringLiteral("Renaming tracks..."), int(retagged.size()) + 1);
    steps.bump();

    const int flags = alternate();
    RenameAlerts alerts([this](const Alert& a) { postAlert(a.title, a.message); });
    RenamePlan plan;
    QList<AudioTrackRef> planned;
    if (rename && !retagged.isEmpty()) {
        // Names are decided before anything moves, so the journal holds the
        // whole plan and files may exchange names.
        QList<QPair<AudioTrackRef, QString>> wanted;
        QSet<QString> leaving;
        for (const AudioTrackRef& t : retagged) {
            const QString name = t->getNewFileName(flags);
            if (name.isEmpty()) {
                addSaveFailure(t->getFileName(),
                               QStringLiteral("The naming template gave no name."));
                continue;
            }
            if (name == t->getFileName()) continue;
            wanted << qMakePair(t, name);
            leaving.insert(t->getFileName());
        }
        QSet<QString> assigned;
        const auto taken = [&](const QString& name) {
            return assigned.contains(name) ||
                   (!leaving.contains(name) && pathExists(folder + QLatin1Char('/') + name));
        };
        const qint64 pid = QCoreApplication::applicationPid();
        int n = 0;
        for (const auto& [t, name] : wanted) {
            RenameEntry e;
            e.oldName = t->getFileName();
            e.newName = t->plannedFileName(flags, taken, &alerts);
            struct stat st;
            if (e.newName.isEmpty() ||
                ::lstat(QFile::encodeName(t->getPath()).constData(), &st) != 0) {
                addSaveFailure(e.oldName, QStringLiteral("No free name was found for it."));
                continue;
            }
            e.device = st.st_dev;
            e.inode = st.st_ino;
            const QString extension = QFileInfo(e.oldName).suffix();
            do {
                e.tempName = AudioTrack::tempFileName(pid, n++, extension);
            } while (pathExists(folder + QLatin1Char('/') + e.tempName));
            assigned.insert(e.newName);
            plan.files << e;
            planned << t;
        }
    }
    const QString newFolderName = renameFolder ? plannedFolderName(flags) : QString();
    if (!newFolderName.isNull() && lastSaveFailures().isEmpty()) {
        // In the journal only while every file is on course, so finishing an
        // interrupted plan never renames a folder some file failed in.
        {
            plan.oldFolderName = QFileInfo(folder).fileName();
            plan.newFolderName = newFolderName;
        }
    }

    const RenameJournal::Run run = RenameJournal::run(
        folder, plan, [] { return SaveSteps::stopRequested(); },
        [&](bool allMoved) {
            if (newFolderName.isNull()) return folder;
            // The folder is named after its files: only when every one was
            // saved.
            const bool allSaved = allMoved && lastSaveFailures().isEmpty();
            if (!allSaved) {
                addSaveFailure(QFileInfo(folder).fileName(),
                               QStringLiteral("The folder was not renamed to \"%1\", because not "
                                              "every file was saved.")
                                   .arg(newFolderName));
                return folder;
            }
            renameAlbum(flags);
            return docPath();
        });
    for (qsizetype i = 0; i < planned.size(); ++i) {
        const RenameOutcome& o = run.outcomes[size_t(i)];
        const AudioTrackRef& t = planned[i];
        const QString oldName = t->getFileName();
        {
            QMutexLocker locker(&fDataLock);
            if (!o.finalName.isEmpty() && o.finalName != oldName) {
                t->setFileName(o.finalName);
                t->setFolder(t->getFolder());
            }
        }
        if (!o.failure.isNull()) addSaveFailure(oldName, o.failure);
        steps.bump();
    }
    notifyTracksChanged();
}

QString TrovixDocument::plannedFolderName(int alternate) const {
    QMutexLocker locker(&fDataLock);
    const AudioTrackRef first = fSongs.firstGoodTrack();
    if (!first) return QString();
    const QString newName = first->getNewFolderName(&fSongs, alternate);
    if (newName.isEmpty() || newName == QFileInfo(fDocPath).fileName()) return QString();
    return newName;
}

bool TrovixDocument::renameAlbum(int alternate) {
    QString newName, docPathNow;
    {
        QMutexLocker locker(&fDataLock);
        const AudioTrackRef first = fSongs.firstGoodTrack();
        if (!first) return true;
        newName = first->getNewFolderName(&fSongs, alternate);
        docPathNow = fDocPath;
    }
    if (newName.isEmpty()) return true;
    const QFileInfo current(docPathNow);
    const QString newPath = current.path() + QLatin1Char('/') + newName;
    if (newPath == docPathNow) return true;

    const auto duplicate = [&] {
        postAlert(QStringLiteral("Duplicate Folder Name"),
                  QStringLiteral("A folder named \"%1\" already exists! Its name will remain "
                                 "\"%2\".")
                      .arg(newName, current.fileName()));
        return true;
    };
    if (pathExists(newPath)) return duplicate();
    TROVIX_LOG() << QStringLiteral("Renaming %1 to %2...").arg(docPathNow, newPath);
    SaveSteps::step("rename-folder");
    const MoveResult r = moveWithoutReplacing(docPathNow, newPath);
    if (r.code == MoveResult::Code::TargetExists) return duplicate();
    if (!r.ok()) {
        // A refusal is a failure of the save, not a remark beside a success.
        addSaveFailure(current.fileName(),
                       QStringLiteral("The folder could not be renamed to \"%1\": %2. Its name "
                                      "will remain \"%3\".")
                           .arg(newName, r.error, current.fileName()));
        return false;
    }
    syncFolderOf(newPath);
    {
        QMutexLocker locker(&fDataLock);
        fDocPath = newPath;
    }
    syncWindowTitle();
    notifyTracksChanged();
    return true;
}

void TrovixDocument::refreshTracks() {
    ProgressSteps steps(progress());
    QMutexLocker locker(&fDataLock);
    steps.begin(QStringLiteral("Reading back new tags..."), int(fSongs.count()) + 1);
    steps.bump();
    for (const AudioTrackRef& t : fSongs) {
        if (!t->isPlaceholder()) t->setFolder(fDocPath);
        t->refresh();
        steps.bump();
    }
    locker.unlock();
    notifyTracksChanged();
}
