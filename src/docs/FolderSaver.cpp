// Saving a folder document: the checks and their questions, the request of
// what to write, and the report applied to the records afterwards.
#include "docs/FolderSaver.h"

#include "app/Preferences.h"
#include "docs/AlbumApplier.h"
#include "docs/DocumentHost.h"
#include "docs/FolderContext.h"
#include "docs/FolderOpener.h"
#include "docs/FolderState.h"
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

const QString kOKButton = QStringLiteral("OK");
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");

} // namespace

// Checks -------------------------------------------------------------------

void FolderSaver::saveDocument() {
    if (fContext.busy() || fContext.closed() || !fContext.host()) return;
    fContext.host()->endEditing();

    const auto fail = [this](const QString& title, const QString& message) {
        fContext.host()->showAlert({title, message, {kOKButton}});
    };
    if (st().albumFields.text(TagField::Artist).isEmpty())
        return fail(QStringLiteral("Missing Field"),
                    QStringLiteral("The Artist field must be filled in."));
    if (st().albumFields.text(TagField::Album).isEmpty())
        return fail(QStringLiteral("Missing Field"),
                    QStringLiteral("The Album field must be filled in."));

    // Read-only counts real files only: a placeholder is the missing-track
    // question's business, which it would otherwise never reach.
    int readOnly = 0;
    bool missing = false, blank = false;
    QStringList unreadable;
    QString refusal; // a file that is never written says why
    {
        unreadable = st().unreadableFiles;
        int real = 0, locked = 0;
        for (const AudioTrackRef& t : st().songs) {
            if (t->isPlaceholder()) continue;
            ++real;
            if (!t->okToTag()) ++locked;
            if (refusal.isNull() && t->musicFile()) refusal = t->musicFile()->whyNotWritable();
        }
        readOnly = real == 0 || locked == real ? 2 : locked > 0 ? 1 : 0;
        if (real > 0) unreadable.clear();
        missing = st().songs.anyTracksMissing();
        blank = st().songs.anyTitlesBlank();
    }
    // Nothing opened because nothing could be read: that is not read-only.
    if (!unreadable.isEmpty())
        return fail(unreadable.size() == 1 ? QStringLiteral("Unreadable File")
                                           : QStringLiteral("Unreadable Files"),
                    FolderOpener::unreadableMessage(unreadable) +
                        QStringLiteral(" There is nothing to tag."));
    if (readOnly == 1) {
        fContext.host()->showAlert(
            {QStringLiteral("Read-only Files"),
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
        fContext.host()->showAlert(
            {QStringLiteral("Missing Track"),
             QStringLiteral("You are missing one or more tracks of this CD. Do you "
                            "wish to retag the files that you have?"),
             {kYes, kNo}},
            [this](int button) { answerSaveAnyway(button); });
        return;
    }
    if (blank) {
        fContext.host()->showAlert(
            {QStringLiteral("Missing Field"),
             QStringLiteral("Some tracks do not have new titles. You can save the ones "
                            "that do, or you can just use the old titles."),
             {QStringLiteral("Cancel"), QStringLiteral("Save Others"),
              QStringLiteral("Use Old Titles")}},
            [this](int button) { answerBlankTitles(button); });
        return;
    }
    if (!canBeMacRoman(st().albumFields.text(TagField::Genre)))
        return fail(QStringLiteral("Invalid Genre"),
                    QStringLiteral("The Genre must not contain any Unicode characters."));
    fContext.saveAll();
}

// An answer that comes after the document closed (a save-then-close whose
// check raised a question) changes nothing.
void FolderSaver::answerSaveAnyway(int button) {
    if (fContext.closed()) return;
    if (button == 0) fContext.saveAll();
}

void FolderSaver::answerBlankTitles(int button) {
    if (fContext.closed()) return;
    if (button == 1) {
        fContext.saveAll();
    } else if (button == 2) {
        fApplier.copyOldTitlesToNew(true, false);
        fContext.saveAll();
    }
}

// The save ----------------------------------------------------------------

bool FolderSaver::saveWouldWrite() const {
    const SaveOptions options = SaveOptions::fromPrefs();
    const int count = int(st().songs.count());
    const int flags = fContext.alternate();
    // The files makeSaveRequest writes, each against the tags it would get.
    const TrackTagPlan tagPlan = TrackTagPlan(st().albumFields, st().variousArtists, st().songs);
    for (int p = 0; p < count; ++p) {
        const AudioTrack& t = *st().songs.array()[p];
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
        if (const AudioTrackRef first = st().songs.firstGoodTrack()) {
            const QString name =
                first->getNewFolderName(options.naming, st().songs.albumNameFacts(), flags);
            if (!name.isEmpty() && name != QFileInfo(fContext.folder()).fileName()) return true;
        }
    }
    return false;
}

SaveRequest FolderSaver::makeSaveRequest(const SaveOptions& options) {
    SaveRequest request = options.request(SaveRequest::Scope::Folder, fContext.folder());
    const int flags = fContext.alternate();
    const int count = int(st().songs.count());
    request.recordCount = count;

    // What lets a later opening rerun this search and restore the boxes.
    CustomTag& tag = request.tag.emplace();
    tag.setSavedSearchTerms(st().lastSearch.isEmpty() ? fContext.searchTerms() : st().lastSearch);
    tag.setResultKey(st().hitTable.resultKey());
    if (st().variousArtists) {
        tag.setVariousArtist(st().albumFields.artist);
        if (st().reverseArtistTitle) tag.setReverseArtistAlbum(true);
    }

    // The names come from the records as they will be once written: copies
    // with the new tags, so the records themselves change only when the
    // files did.
    AudioTrackArray named;
    const TrackTagPlan tagPlan = TrackTagPlan(st().albumFields, st().variousArtists, st().songs);
    request.files.reserve(count);
    for (int p = 0; p < count; ++p) {
        const AudioTrackRef& t = st().songs.array()[p];
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
        f.opened = t->musicFile();
        copy->setTags(f.tags, f.fields);
        if (options.renameTracks) {
            f.newName = copy->getNewFileName(options.naming, flags);
            f.numberedName = copy->getTempFileName(options.naming, flags);
            f.nameLimit =
                NameTemplate::lengthLimit(AudioTrack::kFileName | flags, fContext.folder());
        }
        request.files << std::move(f);
    }
    if (options.renameFolder) {
        if (const AudioTrackRef first = named.firstGoodTrack()) {
            const QString name =
                first->getNewFolderName(options.naming, named.albumNameFacts(), flags);
            if (!name.isEmpty() && name != QFileInfo(fContext.folder()).fileName())
                request.newFolderName = name;
        }
    }
    return request;
}

void FolderSaver::applySaveReport(SaveReport& report) {
    for (const Alert& a : report.alerts)
        fContext.postAlert(a.title, a.message);
    if (!report.reachedWrite) return;
    const bool moved = report.folder != fContext.folder();
    fContext.setFolder(report.folder);
    QSet<qsizetype> readBack;
    // The file objects the records leave behind are freed off this thread.
    auto replaced = std::make_shared<std::vector<std::shared_ptr<MusicFile>>>();
    for (SaveReport::File& f : report.files) {
        if (!f.readBack || f.row < 0 || f.row >= st().songs.count()) continue;
        replaced->push_back(st().songs.array()[f.row]->musicFile());
        st().songs.array()[f.row]->adoptFile(std::move(*f.readBack));
        readBack.insert(f.row);
    }
    Disposal::later(std::move(replaced));
    // Every other record learns where its file now lives.
    if (moved) {
        for (qsizetype i = 0; i < st().songs.count(); ++i) {
            if (readBack.contains(i)) continue;
            const AudioTrackRef& t = st().songs.array()[i];
            if (!t->isPlaceholder()) t->setFolder(fContext.folder());
            t->refresh();
        }
    }
    fContext.setSaveFailures(report.failures);
    refreshFolderHits();
    fContext.syncWindowTitle();
    fContext.notifyTracksChanged();
    fContext.notifyHitsChanged();
    fContext.concludeSave();
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

void FolderSaver::refreshFolderHits() {
    FolderOpener::FolderOpening again;
    again.songs = st().songs;
    again.customTag = fContext.customTag();
    FolderOpener::createAlbumHits(again, {}, Prefs::smartCapitalization());
    const std::pair<AlbumInfoPtr, AlbumInfoPtr> pairs[] = {
        {st().infoFromTags, again.infoFromTags}, {st().infoFromFiles, again.infoFromFiles}};
    for (const auto& [kept, fresh] : pairs) {
        if (!kept || !fresh) continue;
        adoptFolderValues(*kept, *fresh);
        for (qsizetype row = 0; row < st().hitTable.count(); ++row)
            if (const AlbumInfoPtr hit = st().hitTable.hitAt(row);
                hit && hit->resultKey() == kept->resultKey())
                adoptFolderValues(*hit, *fresh);
    }
    st().detailsFromTags = again.detailsFromTags;
    st().detailsFromFiles = again.detailsFromFiles;
}

FolderState& FolderSaver::st() {
    return fContext.state();
}

const FolderState& FolderSaver::st() const {
    return fContext.state();
}
