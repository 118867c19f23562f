// Saving a single-file document: the checks, then a request for the worker and
// its report applied in one step.
#include "docs/FileTagDocument.h"

#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "docs/SaveOptions.h"
#include "media/MusicFile.h"
#include "model/NameTemplate.h"
#include "tags/TextNumbers.h"
#include "text/MacRoman.h"

#include <QFileInfo>

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

SaveRequest FileTagDocument::makeSaveRequest(const SaveOptions& options) const {
    assertOwner();
    SaveRequest request =
        options.request(SaveRequest::Scope::SingleFile, QFileInfo(fDocPath).absolutePath());
    request.recordCount = 1;
    request.backup =
        options.backup || QFileInfo(fDocPath).suffix().compare(u"m4p", Qt::CaseInsensitive) == 0;
    if (!fSong || !fSong->okToTag() || !fSong->musicFile() || fFields.title.isEmpty())
        return request;
    const QFileInfo path(fSong->getPath());
    request.folder = path.absolutePath();
    SaveRequest::File& f = request.files.emplace_back();
    f.row = 0;
    f.name = path.fileName();
    f.fields = SaveOptions::kWrittenFields;
    TagValues& tags = f.tags;
    tags = fFields;
    tags.year = YearText(fFields.year);
    tags.setTrack(numberOf(fFields.track), numberOf(fFields.trackCount));
    const std::shared_ptr<MusicFile> file = fSong->musicFile();
    f.pictureFormat = file->imageFormat();
    f.opened = file;
    if (options.renameTracks) {
        // The name comes from the record as it will be once written: a copy
        // with the new tags, so the record itself changes only when the file
        // did.
        AudioTrack named = *fSong;
        named.setTags(tags, SaveOptions::kWrittenFields);
        named.setNewTitle(tags.title);
        named.setAlbumDetails_Title(tags.title);
        named.setRow(uint32_t(tags.trackNumber() - 1));
        f.newName = named.getNewFileName(options.naming, AudioTrack::kSingleFile);
        f.numberedName = named.getTempFileName(options.naming, AudioTrack::kSingleFile);
        f.nameLimit = NameTemplate::lengthLimit(AudioTrack::kFileName | AudioTrack::kSingleFile,
                                                named.getFolder());
    }
    return request;
}

bool FileTagDocument::saveWouldWrite() const {
    const SaveRequest request = makeSaveRequest(SaveOptions::fromPrefs());
    if (request.files.isEmpty()) return false;
    const SaveRequest::File& planned = request.files.front();
    const AudioTrack& file = *fSong;
    const TagValues& read = file.tags();
    // Compared as texts, where an absent tag and an empty one are the same.
    bool tagsDiffer = planned.tags.trackNumber() != read.trackNumber() ||
                      planned.tags.trackCountNumber() != read.trackCountNumber() ||
                      planned.tags.title != file.getOldTitle();
    for (const TagField field : {TagField::Artist, TagField::Album,
                                 TagField::Year, TagField::Genre})
        tagsDiffer = tagsDiffer || planned.tags.text(field) != read.text(field);
    return tagsDiffer || (request.renameTracks && !planned.newName.isEmpty() &&
                          planned.newName != file.getDisplayName());
}

DocumentBase::JobBody FileTagDocument::saveJob() {
    fSaveFailures.clear();
    SaveOptions options = SaveOptions::fromPrefs();
    // The single-file save embeds the shown cover and writes no cover file.
    options.cover.embed = true;
    options.cover.saveToFile = false;
    auto request = std::make_shared<SaveRequest>(makeSaveRequest(options));
    ProgressIndicator* sheet = progress();
    // The cover shown now; its bytes are made on the worker, where scaling
    // and encoding a large picture does not hold up the window.
    const AlbumArt::ShownCover shown = fAlbumArtObj->shownCover();
    return [this, request, sheet, shown, cover = options.cover]() -> JobResult {
        if (!request->files.isEmpty())
            SaveOptions::setCover(*request, fAlbumArtObj->coverToStore(
                                                shown, request->folder,
                                                {request->files.front().pictureFormat}, cover));
        auto report = std::make_shared<SaveReport>(request->run(sheet));
        return [this, request, report] { applySaveReport(*request, *report); };
    };
}

void FileTagDocument::applySaveReport(const SaveRequest& request, const SaveReport& report) {
    assertOwner();
    for (const Alert& a : report.alerts)
        postAlert(a.title, a.message);
    if (!report.reachedWrite) return;
    if (!report.files.isEmpty()) {
        const SaveReport::File& saved = report.files.front();
        const TagValues& tags = request.files.front().tags;
        if (saved.readBack && fSong) {
            fSong->setNewTitle(tags.title);
            fSong->setAlbumDetails_Title(tags.title);
            fSong->setRow(uint32_t(tags.trackNumber() - 1));
            fSong->adoptFile(*saved.readBack);
        }
        fDocPath = report.folder + QLatin1Char('/') + saved.name;
    }
    fSaveFailures = report.failures;
    notifyHitsChanged();
    notifyTracksChanged();
    syncWindowTitle();
    concludeSave();
}
