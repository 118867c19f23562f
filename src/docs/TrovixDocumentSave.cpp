// Saving a folder document: the checks, the backup, retagging, renaming the
// files and the folder, and closing after a save.
#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/FolderBackup.h"
#include "docs/RenameAlerts.h"
#include "media/MusicFile.h"
#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/ProgressIndicator.h"
#include "text/MacRoman.h"

#include <QFileInfo>
#include <QMutexLocker>

namespace {

const QString kOK = QStringLiteral("OK");
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");

class ProgressSteps {
public:
    explicit ProgressSteps(ProgressIndicator* p) : fP(p) {}
    void begin(const QString& caption, int max) {
        if (fP) fP->NotifyBeginDet(caption, 0, max, false);
    }
    void bump() {
        if (fP) fP->NotifyBump(1);
    }

private:
    ProgressIndicator* fP;
};

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
    if (fHost) fHost->progressSheet();

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
        if (Prefs::boolValue(Prefs::kRenameAlbums)) renameAlbum(alternate());
        refreshTracks();
        syncWindowTitle();

        concludeSave();
    }

    fLock.leave();
    notifyTracksChanged();
    closeProgressSheet();
}

bool TrovixDocument::backupFolder(QString* reason) {
    const FolderBackup::Result r =
        FolderBackup::backupFolder(docPath(), fHost ? fHost->progressSheet() : nullptr);
    if (r.ok()) return true;
    TROVIX_LOG() << "Backup to" << r.target << "failed:" << r.reason;
    if (reason) *reason = r.reason;
    return false;
}

void TrovixDocument::retagTracks(bool rename) {
    ProgressSteps steps(fHost ? fHost->progressSheet() : nullptr);
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
    steps.begin(QStringLiteral("Re-tagging files..."), count + 1);
    steps.bump();
    QList<AudioTrackRef> retagged;
    for (int p = 0; p < count; ++p) {
        const AudioTrackRef& t = songs[p];
        {
            // The file name numbers the track by its row: it must agree with
            // the track number written, whatever the table last drew.
            QMutexLocker locker(&fDataLock);
            t->setRow(uint32_t(p));
        }
        if (t->isPlaceholder() || !t->okToTag() || t->getNewTitle().isEmpty()) {
            steps.bump();
            continue;
        }
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
        if (t->commitTags()) {
            retagged << t;
        } else {
            // The file keeps its old tags, so the record does too.
            addSaveFailure(before.getFileName(), t->commitError());
            QMutexLocker locker(&fDataLock);
            *t = before;
        }
        steps.bump();
    }

    steps.begin(QStringLiteral("Renaming tracks..."), int(retagged.size()) + 1);
    steps.bump();
    if (rename && !retagged.isEmpty()) {
        const int flags = alternate();
        RenameAlerts alerts([this](const Alert& a) { postAlert(a.title, a.message); });
        // Every file first takes a temporary name, so files may exchange names.
        QList<QPair<AudioTrackRef, QString>> moved;
        for (const AudioTrackRef& t : retagged) {
            const QString oldName = t->getFileName();
            bool ok;
            {
                QMutexLocker locker(&fDataLock);
                ok = t->renameToTemp(&alerts);
            }
            if (ok)
                moved << qMakePair(t, oldName);
            else
                addSaveFailure(oldName, alerts.takeFailure());
        }
        for (const auto& [t, oldName] : moved) {
            QMutexLocker locker(&fDataLock);
            if (!t->rename(flags, &alerts)) {
                QString why = alerts.takeFailure();
                if (why.isEmpty()) why = QStringLiteral("The naming template gave no name.");
                // Back to the old name, so a failed rename never leaves a
                // temporary name behind.
                const QString tempPath = t->getPath();
                const MoveResult back =
                    moveWithoutReplacing(tempPath, t->getFolder() + QLatin1Char('/') + oldName);
                if (back.ok()) {
                    t->setFileName(oldName);
                    t->setFolder(t->getFolder());
                } else {
                    why += QStringLiteral(" It is now named \"%1\".").arg(t->getFileName());
                }
                addSaveFailure(oldName, why);
            }
            steps.bump();
        }
    }
    notifyTracksChanged();
}

void TrovixDocument::renameAlbum(int alternate) {
    QString newName, docPathNow;
    {
        QMutexLocker locker(&fDataLock);
        const AudioTrackRef first = fSongs.firstGoodTrack();
        if (!first) return;
        newName = first->getNewFolderName(&fSongs, alternate);
        docPathNow = fDocPath;
    }
    if (newName.isEmpty()) return;
    const QFileInfo current(docPathNow);
    const QString newPath = current.path() + QLatin1Char('/') + newName;
    if (newPath == docPathNow) return;

    const auto duplicate = [&] {
        postAlert(QStringLiteral("Duplicate Folder Name"),
                  QStringLiteral("A folder named \"%1\" already exists! Its name will remain "
                                 "\"%2\".")
                      .arg(newName, current.fileName()));
    };
    if (pathExists(newPath)) return duplicate();
    TROVIX_LOG() << QStringLiteral("Renaming %1 to %2...").arg(docPathNow, newPath);
    const MoveResult r = moveWithoutReplacing(docPathNow, newPath);
    if (r.code == MoveResult::Code::TargetExists) return duplicate();
    if (!r.ok()) {
        postAlert(QStringLiteral("Could Not Rename Folder"),
                  QStringLiteral("The folder \"%1\" could not be renamed to \"%2\": %3. Its name "
                                 "will remain \"%1\".")
                      .arg(current.fileName(), newName, r.error));
        return;
    }
    {
        QMutexLocker locker(&fDataLock);
        fDocPath = newPath;
    }
    syncWindowTitle();
    notifyTracksChanged();
}

void TrovixDocument::refreshTracks() {
    ProgressSteps steps(fHost ? fHost->progressSheet() : nullptr);
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
