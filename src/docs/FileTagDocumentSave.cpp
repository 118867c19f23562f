// Saving a single-file document: the checks, then a plan for the worker and
// its report applied in one step.
#include "docs/FileTagDocument.h"

#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
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

FileSavePlan FileTagDocument::makeSavePlan() const {
    assertOwner();
    FileSavePlan plan;
    plan.path = fDocPath;
    plan.options = SaveOptions::fromPrefs();
    plan.backup = plan.options.backup ||
                  QFileInfo(fDocPath).suffix().compare(u"m4p", Qt::CaseInsensitive) == 0;
    if (!fSong || !fSong->okToTag() || !fSong->musicFile() || fFields.title.isEmpty()) return plan;
    plan.write = true;
    plan.path = fSong->getPath();
    TagValues& tags = plan.tags;
    tags = fFields;
    tags.year = YearText(fFields.year);
    tags.setTrack(numberOf(fFields.track), numberOf(fFields.trackCount));
    const std::shared_ptr<MusicFile> file = fSong->musicFile();
    plan.pictureFormat = file->imageFormat();
    plan.haveOpened = file->openedState(&plan.opened);
    // The single-file save embeds the shown cover and writes no cover file.
    plan.options.cover.embed = true;
    plan.options.cover.saveToFile = false;
    if (plan.options.renameTracks) {
        // The name comes from the record as it will be once written: a copy
        // with the new tags, so the record itself changes only when the file
        // did.
        AudioTrack named = *fSong;
        named.setTags(tags, SaveOptions::kWrittenFields);
        named.setNewTitle(tags.title);
        named.setAlbumDetails_Title(tags.title);
        named.setRow(uint32_t(tags.trackNumber() - 1));
        plan.newName = named.getNewFileName(plan.options.naming, AudioTrack::kSingleFile);
        plan.numberedName = named.getTempFileName(plan.options.naming, AudioTrack::kSingleFile);
        plan.nameLimit = NameTemplate::lengthLimit(AudioTrack::kFileName | AudioTrack::kSingleFile,
                                                   named.getFolder());
    }
    return plan;
}

bool FileTagDocument::saveWouldWrite() const {
    const FileSavePlan plan = makeSavePlan();
    if (!plan.write) return false;
    const AudioTrack& file = *fSong;
    const TagValues& read = file.tags();
    // Compared as texts, where an absent tag and an empty one are the same.
    bool tagsDiffer = plan.tags.trackNumber() != read.trackNumber() ||
                      plan.tags.trackCountNumber() != read.trackCountNumber() ||
                      plan.tags.title != file.getOldTitle();
    for (const TagField field : {TagField::Artist, TagField::Album,
                                 TagField::Year, TagField::Genre})
        tagsDiffer = tagsDiffer || plan.tags.text(field) != read.text(field);
    return tagsDiffer ||
           (plan.options.renameTracks && !plan.newName.isEmpty() &&
            plan.newName != file.getDisplayName());
}

DocumentBase::JobBody FileTagDocument::saveJob() {
    fSaveFailures.clear();
    auto plan = std::make_shared<FileSavePlan>(makeSavePlan());
    ProgressIndicator* sheet = progress();
    // The cover shown now; its bytes are made on the worker, where scaling
    // and encoding a large picture does not hold up the window.
    const AlbumArt::ShownCover shown = fAlbumArtObj->shownCover();
    return [this, plan, sheet, shown]() -> JobResult {
        plan->cover = fAlbumArtObj->coverToStore(shown, QFileInfo(plan->path).absolutePath(),
                                                 {plan->pictureFormat}, plan->options.cover);
        auto report = std::make_shared<FileSaveReport>(plan->run(sheet));
        return [this, plan, report] { applySaveReport(*plan, *report); };
    };
}

void FileTagDocument::applySaveReport(const FileSavePlan& plan, const FileSaveReport& report) {
    assertOwner();
    for (const Alert& a : report.alerts)
        postAlert(a.title, a.message);
    if (!report.reachedWrite) return;
    if (report.readBack && fSong) {
        fSong->setNewTitle(plan.tags.title);
        fSong->setAlbumDetails_Title(plan.tags.title);
        fSong->setRow(uint32_t(plan.tags.trackNumber() - 1));
        fSong->adoptFile(*report.readBack);
    }
    fDocPath = report.path;
    fSaveFailures = report.failures;
    notifyHitsChanged();
    notifyTracksChanged();
    syncWindowTitle();
    concludeSave();
}
