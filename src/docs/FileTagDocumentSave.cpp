// Saving a single-file document: the checks, the backup, retagging and
// renaming the file.
#include "docs/FileTagDocument.h"

#include "app/Preferences.h"
#include "app/PrefsOptions.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/FolderBackup.h"
#include "docs/RenameAlerts.h"
#include "docs/RenameJournal.h"
#include "media/MP3File.h"
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

#include <sys/stat.h>

namespace {

const QString kOK = QStringLiteral("OK");

bool allDigits(const QString& text) {
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// The message of an invalid number field; null when the field is fine.
QString numberProblem(const QString& field, const QString& name) {
    if (!canBeMacRoman(field))
        return QStringLiteral("The %1 must not contain any Unicode characters.").arg(name);
    if (!allDigits(field)) return QStringLiteral("The %1 must be numeric.").arg(name);
    return QString();
}

} // namespace

void FileTagDocument::saveDocument() {
    if (!isIdle() || fClosed || !fHost) return;
    fHost->endEditing();
    const auto fail = [this](const QString& title, const QString& message) {
        fHost->showAlert({title, message, {kOK}});
    };

    if (titleField().isEmpty())
        return fail(QStringLiteral("Missing Field"),
                    QStringLiteral("The Title field must be filled in."));
    if (artistField().isEmpty() || albumField().isEmpty() || yearField().isEmpty() ||
        genreField().isEmpty() || trackField().isEmpty() || countField().isEmpty())
        // A warning only: the save goes on.
        fHost->showAlert({QStringLiteral("Missing Field"),
                          QStringLiteral("Some tag fields are missing. Trovix is saving the empty "
                                         "tags, but you may want to go back and fill them all "
                                         "in."),
                          {kOK}});
    const AudioTrackRef track = song();
    if (track && !track->isValid())
        return fail(QStringLiteral("Unreadable File"),
                    QStringLiteral("The file \"%1\" could not be read as music.")
                        .arg(track->getFileName()));
    if (const QString why = track ? track->musicFile()->whyNotWritable() : QString(); !why.isNull())
        return fail(QStringLiteral("File Not Written"), why);
    if (!track || !track->okToTag())
        return fail(QStringLiteral("Read-only File"),
                    QStringLiteral("That file is read-only. It can't be re-tagged unless you drag "
                                   "it to a writable drive."));
    if (const QString why = numberProblem(trackField(), QStringLiteral("Track Number"));
        !why.isNull())
        return fail(QStringLiteral("Invalid Track Number"), why);
    if (const QString why = numberProblem(countField(), QStringLiteral("Track Count"));
        !why.isNull())
        return fail(QStringLiteral("Invalid Track Count"), why);
    if (!canBeMacRoman(genreField()))
        return fail(QStringLiteral("Invalid Genre"),
                    QStringLiteral("The Genre must not contain any Unicode characters."));
    saveAll();
}

void FileTagDocument::saveCommon() {
    const bool rename = Prefs::boolValue(Prefs::kRenameTracks);
    {
        QMutexLocker locker(&fDataLock);
        fSaveFailures.clear();
    }
    FolderLock folderLock;
    const FolderLock::Code locked = folderLock.tryLock(QFileInfo(docPath()).absolutePath());
    if (locked != FolderLock::Code::Locked) {
        postAlert(QStringLiteral("File Not Saved"),
                  locked == FolderLock::Code::Busy
                      ? FolderLock::kBusyMessage
                      : QStringLiteral("The folder could not be opened for saving: %1.")
                            .arg(folderLock.error()));
        return;
    }
    const bool backup = Prefs::boolValue(Prefs::kBackup) ||
                        QFileInfo(docPath()).suffix().compare(u"m4p", Qt::CaseInsensitive) == 0;
    // Without the copy the user asked for, nothing is written.
    QString reason;
    if (backup && !backupTrack(&reason)) {
        postAlert(QStringLiteral("Backup Failed"),
                  QStringLiteral("The file could not be backed up to \"%1\", so nothing was "
                                 "saved. %2")
                      .arg(FolderBackup::backupsFolder(), reason));
    } else {
        retagTrack(rename);
        refreshTrack();
        syncWindowTitle();
        concludeSave();
    }
    // Idle again, the redraw and the sheet's close follow on the main thread.
}

bool FileTagDocument::backupTrack(QString* reason) {
    ProgressIndicator* sheet = progress();
    if (sheet) sheet->NotifyBeginInd(QStringLiteral("Backing up file to Music folder..."), false);
    const FolderBackup::Result r = FolderBackup::backupFile(docPath());
    if (r.ok()) return true;
    TROVIX_LOG() << "Backup to" << r.target << "failed:" << r.reason;
    if (reason) *reason = r.reason;
    return false;
}

void FileTagDocument::retagTrack(bool rename) {
    const AudioTrackRef t = song();
    if (!t || !t->okToTag()) return;
    ProgressIndicator* sheet = progress();
    if (sheet) sheet->NotifyBeginInd(QStringLiteral("Re-tagging..."), false);
    QString title, artist, album, year, genre, trackText, countText;
    {
        QMutexLocker locker(&fDataLock);
        title = fTitleTextField;
        artist = fArtistTextField;
        album = fAlbumTextField;
        year = fYearTextField;
        genre = fGenreTextField;
        trackText = fTrack1TextField;
        countText = fTrack2TextField;
    }
    if (title.isEmpty()) return;

    const AudioTrack before = *t;
    const int n = numberOf(trackText);
    SaveBatch batch(QFileInfo(before.getPath()).absolutePath());
    {
        QMutexLocker locker(&fDataLock);
        t->tagArtist(artist);
        t->tagAlbum(album);
        t->tagYearStr(year);
        t->tagGenre(genre);
        t->tagTitle(title);
        t->setNewTitle(title);
        t->setAlbumDetails_Title(title);
        t->setRow(uint32_t(n - 1));
        t->tagTrack(n, numberOf(countText));
        fAlbumArtObj->saveImage(*t, Prefs::coverOptions());
        if (auto* mp3 = dynamic_cast<MP3File*>(t->musicFile().get())) {
            mp3->setTagVersion(Prefs::intValue(Prefs::kTagVersion));
            mp3->setHomePage(Prefs::stringValue(Prefs::kHomePageURL));
        }
        if (t->musicFile()) batch.add(t->musicFile().get());
    }
    const std::vector<FileSaveOutcome> outcomes =
        batch.commit([] { return SaveSteps::stopRequested(); });
    if (outcomes.empty() || !outcomes.front().ok()) {
        // The file keeps its old tags and its name, so the record does too.
        QString why = outcomes.empty() ? t->commitError() : outcomes.front().reason;
        if (!outcomes.empty() && outcomes.front().code == FileSaveOutcome::Code::Stopped)
            why = QStringLiteral("The save was stopped before this file was written.");
        addSaveFailure(before.getFileName(), why);
        QMutexLocker locker(&fDataLock);
        *t = before;
        return;
    }

    if (sheet) sheet->NotifyBeginInd(QStringLiteral("Renaming..."), false);
    if (!rename || SaveSteps::stopRequested()) return;
    RenameAlerts alerts([this](const Alert& a) { postAlert(a.title, a.message); });
    const QString oldName = t->getFileName();
    const QString folder = t->getFolder();
    RenamePlan plan;
    {
        QMutexLocker locker(&fDataLock);
        RenameEntry e;
        e.oldName = oldName;
        e.newName = t->plannedFileName(
            Prefs::namingOptions(), AudioTrack::kSingleFile,
            [&folder](const QString& name) { return pathExists(folder + QLatin1Char('/') + name); },
            &alerts);
        struct stat st;
        if (e.newName.isEmpty()) {
            locker.unlock();
            addSaveFailure(oldName, QStringLiteral("The naming template gave no name."));
            return;
        }
        if (e.newName == oldName || ::lstat(QFile::encodeName(t->getPath()).constData(), &st) != 0)
            return;
        e.device = st.st_dev;
        e.inode = st.st_ino;
        int k = 0;
        do {
            e.tempName = AudioTrack::tempFileName(QCoreApplication::applicationPid(), k++,
                                                  QFileInfo(oldName).suffix());
        } while (pathExists(folder + QLatin1Char('/') + e.tempName));
        plan.files << e;
    }
    const RenameJournal::Run run =
        RenameJournal::run(folder, plan, [] { return SaveSteps::stopRequested(); }, {});
    const RenameOutcome& o = run.outcomes.front();
    QMutexLocker locker(&fDataLock);
    if (!o.finalName.isEmpty() && o.finalName != oldName) {
        t->setFileName(o.finalName);
        t->setFolder(folder);
    }
    fDocPath = t->getPath();
    locker.unlock();
    if (!o.failure.isNull()) addSaveFailure(oldName, o.failure);
}

void FileTagDocument::refreshTrack() {
    ProgressIndicator* sheet = progress();
    if (sheet) sheet->NotifyBeginInd(QStringLiteral("Reading back new tags..."), false);
    {
        QMutexLocker locker(&fDataLock);
        if (fSong) fSong->refresh();
    }
    notifyHitsChanged();
    notifyTracksChanged();
}
