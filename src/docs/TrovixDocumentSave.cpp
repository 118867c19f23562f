// Saving a folder document: the checks, the backup, retagging, renaming the
// files and the folder, and closing after a save.
#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/SaveOptions.h"
#include "docs/TrackTagPlan.h"
#include "media/MusicFile.h"
#include "model/NameTemplate.h"
#include "prefs/PrefsOptions.h"
#include "system/Disposal.h"
#include "text/MacRoman.h"

#include <QFileInfo>
#include <QSet>

namespace {

const QString kOK = QStringLiteral("OK");
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");

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
        assertOwner();
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
                         [this](int button) { answerSaveAnyway(button); });
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
                         [this](int button) { answerSaveAnyway(button); });
        return;
    }
    if (blank) {
        fHost->showAlert(
            {QStringLiteral("Missing Field"),
             QStringLiteral("Some tracks do not have new titles. You can save the ones "
                            "that do, or you can just use the old titles."),
             {QStringLiteral("Cancel"), QStringLiteral("Save Others"),
              QStringLiteral("Use Old Titles")}},
            [this](int button) { answerBlankTitles(button); });
        return;
    }
    if (!canBeMacRoman(genreField()))
        return fail(QStringLiteral("Invalid Genre"),
                    QStringLiteral("The Genre must not contain any Unicode characters."));
    saveAll();
}

// An answer that comes after the document closed (a save-then-close whose
// check raised a question) changes nothing.
void TrovixDocument::answerSaveAnyway(int button) {
    if (fClosed) return;
    if (button == 0) saveAll();
}

void TrovixDocument::answerBlankTitles(int button) {
    if (fClosed) return;
    if (button == 1) {
        saveAll();
    } else if (button == 2) {
        copyOldTitlesToNew(true, false);
        saveAll();
    }
}

// The save ----------------------------------------------------------------

bool TrovixDocument::saveWouldWrite() const {
    assertOwner();
    const SaveOptions options = SaveOptions::fromPrefs();
    const int count = int(fSongs.count());
    const int flags = alternate();
    // The files makeSaveRequest writes, each against the tags it would get.
    const TrackTagPlan tagPlan = this->tagPlan();
    for (int p = 0; p < count; ++p) {
        const AudioTrack& t = *fSongs.array()[p];
        if (t.isPlaceholder() || !t.okToTag() || t.getNewTitle().isEmpty() || !t.musicFile())
            continue;
        // As a save writes them: no value and an empty one are alike, track
        // numbers compare by value.
        const TagValues tags = tagPlan.tags(t, p, count);
        const TagFields fields = tagPlan.fields(t) & ~(TagField::Track | TagField::TrackCount);
        for (quint32 bit = 1; bit <= TagValues::kTexts.toInt(); bit <<= 1)
            if (fields.testFlag(TagField(bit)) &&
                tags.text(TagField(bit)) != t.tags().text(TagField(bit)))
                return true;
        if (tags.trackNumber() != t.tags().trackNumber() ||
            tags.trackCountNumber() != t.tags().trackCountNumber())
            return true;
        // With every tag as it is, the record names the file as the save would.
        if (options.renameTracks && t.getNewFileName(options.naming, flags) != t.getDisplayName())
            return true;
    }
    if (options.renameFolder) {
        if (const AudioTrackRef first = fSongs.firstGoodTrack()) {
            const QString name =
                first->getNewFolderName(options.naming, fSongs.albumNameFacts(), flags);
            if (!name.isEmpty() && name != QFileInfo(fDocPath).fileName()) return true;
        }
    }
    return false;
}

SaveRequest TrovixDocument::makeSaveRequest(const SaveOptions& options) {
    SaveRequest request = options.request(SaveRequest::Scope::Folder, fDocPath);
    const int flags = alternate();
    const int count = int(fSongs.count());
    request.recordCount = count;

    // What lets a later opening rerun this search and restore the boxes.
    CustomTag& tag = request.tag.emplace();
    tag.setSavedSearchTerms(fLastSearch.isEmpty() ? fSearchTerms : fLastSearch);
    tag.setResultKey(selectedHitKey());
    if (fVariousArtists) {
        tag.setVariousArtist(fAlbumFields.artist);
        if (fReverseArtistTitle) tag.setReverseArtistAlbum(true);
    }

    // The names come from the records as they will be once written: copies
    // with the new tags, so the records themselves change only when the
    // files did.
    AudioTrackArray named;
    const TrackTagPlan tagPlan = this->tagPlan();
    for (int p = 0; p < count; ++p) {
        const AudioTrackRef& t = fSongs.array()[p];
        // The file name numbers the track by its row: it must agree with
        // the track number written, whatever the table last drew.
        t->setRow(uint32_t(p));
        auto copy = std::make_shared<AudioTrack>(*t);
        named.add(copy);
        if (!t->isPlaceholder() &&
            QFileInfo(t->getFileName()).suffix().compare(u"m4p", Qt::CaseInsensitive) == 0)
            request.backup = true;
        if (t->isPlaceholder() || !t->okToTag() || t->getNewTitle().isEmpty() || !t->musicFile())
            continue;
        SaveRequest::File f;
        f.row = p;
        f.name = t->getFileName();
        f.tags = tagPlan.tags(*t, p, count);
        f.fields = tagPlan.fields(*t);
        f.pictureFormat = t->musicFile()->imageFormat();
        f.haveOpened = t->musicFile()->openedState(&f.opened);
        copy->setTags(f.tags, f.fields);
        if (options.renameTracks) {
            f.newName = copy->getNewFileName(options.naming, flags);
            f.numberedName = copy->getTempFileName(options.naming, flags);
            f.nameLimit = NameTemplate::lengthLimit(AudioTrack::kFileName | flags, fDocPath);
        }
        request.files << f;
    }
    if (options.renameFolder) {
        if (const AudioTrackRef first = named.firstGoodTrack()) {
            const QString name =
                first->getNewFolderName(options.naming, named.albumNameFacts(), flags);
            if (!name.isEmpty() && name != QFileInfo(fDocPath).fileName())
                request.newFolderName = name;
        }
    }
    return request;
}

DocumentBase::JobBody TrovixDocument::saveJob() {
    fSaveFailures.clear();
    const SaveOptions options = SaveOptions::fromPrefs();
    auto request = std::make_shared<SaveRequest>(makeSaveRequest(options));
    ProgressIndicator* sheet = progress();
    // The cover shown now; its bytes are made on the worker, where scaling
    // and encoding a large picture does not hold up the window.
    const AlbumArt::ShownCover shown =
        fAlbumArtObj ? fAlbumArtObj->shownCover() : AlbumArt::ShownCover();
    return [this, request, sheet, shown, cover = options.cover]() -> JobResult {
        if (!request->files.isEmpty() && fAlbumArtObj) {
            // The files' own picture formats, each once.
            QList<QByteArray> formats;
            for (const SaveRequest::File& f : request->files)
                if (!formats.contains(f.pictureFormat)) formats << f.pictureFormat;
            SaveOptions::setCover(
                *request, fAlbumArtObj->coverToStore(shown, request->folder, formats, cover));
        }
        auto report = std::make_shared<SaveReport>(request->run(sheet));
        return [this, report]() mutable {
            applySaveReport(*report);
            Disposal::later(std::move(report));
        };
    };
}

void TrovixDocument::applySaveReport(const SaveReport& report) {
    for (const Alert& a : report.alerts)
        postAlert(a.title, a.message);
    if (!report.reachedWrite) return;
    const bool moved = report.folder != fDocPath;
    fDocPath = report.folder;
    QSet<qsizetype> readBack;
    // The file objects the records leave behind are freed off this thread.
    auto replaced = std::make_shared<std::vector<std::shared_ptr<MusicFile>>>();
    for (const SaveReport::File& f : report.files) {
        if (!f.readBack || f.row < 0 || f.row >= fSongs.count()) continue;
        replaced->push_back(fSongs.array()[f.row]->musicFile());
        fSongs.array()[f.row]->adoptFile(*f.readBack);
        readBack.insert(f.row);
    }
    Disposal::later(std::move(replaced));
    // Every other record learns where its file now lives.
    if (moved) {
        for (qsizetype i = 0; i < fSongs.count(); ++i) {
            if (readBack.contains(i)) continue;
            const AudioTrackRef& t = fSongs.array()[i];
            if (!t->isPlaceholder()) t->setFolder(fDocPath);
            t->refresh();
        }
    }
    fSaveFailures = report.failures;
    refreshFolderHits();
    syncWindowTitle();
    notifyTracksChanged();
    notifyHitsChanged();
    concludeSave();
}

namespace {

// The values of a hit made again from the folder, in place: the hit keeps
// its row, score and cover.
void adoptFolderValues(AlbumInfo& hit, const AlbumInfo& fresh) {
    for (const QString& key :
         {AlbumInfo::kArtistKey, AlbumInfo::kAlbumKey, AlbumInfo::kYearKey, AlbumInfo::kGenreKey}) {
        if (fresh.dict().contains(key))
            hit.dict().insert(key, fresh.dict().value(key));
        else
            hit.dict().remove(key);
    }
    hit.setAlbumDetails(fresh.albumDetails());
}

} // namespace

void TrovixDocument::refreshFolderHits() {
    FolderOpening again;
    again.songs = fSongs;
    again.customTag = fCustomTag;
    createAlbumHits(again, {}, Prefs::smartCapitalization());
    const std::pair<AlbumInfoPtr, AlbumInfoPtr> pairs[] = {
        {fAlbumInfoFromTags, again.infoFromTags}, {fAlbumInfoFromFiles, again.infoFromFiles}};
    for (const auto& [kept, fresh] : pairs) {
        if (!kept || !fresh) continue;
        adoptFolderValues(*kept, *fresh);
        for (qsizetype row = 0; row < fHitTable.count(); ++row)
            if (const AlbumInfoPtr hit = fHitTable.hitAt(row);
                hit && hit->resultKey() == kept->resultKey())
                adoptFolderValues(*hit, *fresh);
    }
    fAlbumDetailsFromTags = again.detailsFromTags;
    fAlbumDetailsFromFiles = again.detailsFromFiles;
}
