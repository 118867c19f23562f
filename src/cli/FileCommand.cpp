#include "cli/FileCommand.h"

#include "cli/CliOptions.h"
#include "cli/FileView.h"
#include "cli/FolderView.h"
#include "cli/JsonOutput.h"
#include "cli/OpenCommand.h"
#include "cli/StopSignals.h"
#include "cli/TextOutput.h"
#include "docs/FileTagDocument.h"
#include "docs/HeadlessHost.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "prefs/PrefsOptions.h"

#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

FileView::Fields fieldsOf(const FileTagDocument& doc) {
    return {doc.titleField(), doc.trackField(), doc.countField(), doc.artistField(),
            doc.albumField(), doc.yearField(),  doc.genreField()};
}

// The tags as a fresh read of the file finds them.
std::optional<FileView::Fields> readBack(const QString& path) {
    const std::shared_ptr<MusicFile> file = MusicFileFactory::newMusicFileWithPath(path);
    if (!file) return std::nullopt;
    const TagValues& t = file->readTags();
    return FileView::Fields{t.title, t.track, t.trackCount, t.artist, t.album, t.year, t.genre};
}

FileView viewOf(const FileTagDocument& doc, const HeadlessHost& host, bool saveAsked, bool saved) {
    FileView v;
    v.file = doc.docPath();
    v.fields = fieldsOf(doc);
    v.status = doc.fileStatus();
    if (const AudioTrackRef song = doc.song())
        v.newFileName = song->getNewFileName(Prefs::namingOptions(), AudioTrack::kSingleFile);
    for (qsizetype i = 0; i < doc.hitCount(); ++i) {
        const TrackInfoPtr h = doc.hitAt(i);
        if (!h) continue;
        FileView::Hit hit;
        hit.key = h->resultKey();
        hit.source = sourceOfKey(hit.key);
        hit.title = h->title();
        hit.artist = h->artist();
        hit.album = h->album();
        hit.year = h->year();
        hit.genre = h->genre();
        hit.track = h->longTrack();
        hit.score = h->totalScore();
        hit.status = doc.hitStatus(*h);
        v.hits << hit;
    }
    v.chosenHit = doc.selectedHitRow() < doc.hitCount() ? doc.selectedHitRow() : -1;
    for (const Alert& a : host.alerts())
        v.alerts << a;
    v.saved = saved;
    if (saveAsked) {
        v.onDiskPath = doc.docPath();
        v.onDisk = readBack(v.onDiskPath);
    }
    return v;
}

} // namespace

namespace FileCommand {

int run(const CliOptions& o, QTextStream& out, QTextStream& err) {
    const QFileInfo info(o.folder);
    if (!info.exists() || info.isDir()) {
        err << "trovix-cli: " << o.folder << ": "
            << (info.exists() ? "a folder: open it as an album" : "no such file") << "\n";
        return 1;
    }
    if (!MusicFile::isMusicFileName(info.fileName())) {
        err << "trovix-cli: " << o.folder << ": " << MusicFile::kNotMusicFile << "\n";
        return 1;
    }
    if (!o.boxSet.isEmpty() || o.variousArtists || o.reverse || o.lockAlbumInfo) {
        err << "trovix-cli: --box-set, --various-artists, --reverse and --lock-album-info "
               "belong to album folders\n";
        return 2;
    }

    HeadlessHost host(stderr);
    // Alerts are recorded and printed; nothing is answered unless --save --yes.
    host.setAnswerPolicy(&HeadlessHost::answerNone);
    FileTagDocument doc(&host);
    doc.setKeepsHistory(false); // nothing here is undone
    doc.setDocumentPath(info.absoluteFilePath(), o.cleanUpOnly);
    OpenCommand::settle(doc);

    if (o.terms) {
        doc.setSearchTerms(*o.terms);
        doc.sheetLookup();
        OpenCommand::settle(doc);
    }
    if (o.choose) {
        if (o.choose > doc.hitCount()) {
            err << "trovix-cli: " << doc.docPath() << ": there is no hit " << o.choose
                << " (there are " << doc.hitCount() << ")\n";
            return 1;
        }
        doc.handleHitClick(o.choose - 1);
    }
    if (o.title) doc.setTitleField(*o.title);
    if (o.track) doc.setTrackField(*o.track);
    if (o.count) doc.setCountField(*o.count);
    if (o.artist) doc.setArtistField(*o.artist);
    if (o.album) doc.setAlbumField(*o.album);
    if (o.year) doc.setYearField(*o.year);
    if (o.genre) doc.setGenreField(*o.genre);
    // What the typing monitor does once typing stops.
    doc.updateSongFromFields();
    OpenCommand::settle(doc);

    bool saved = false;
    int status = 0;
    if (o.save) {
        const qsizetype alertsBefore = host.alerts().size();
        host.setAnswerPolicy(o.yes ? &HeadlessHost::answerDefault : &HeadlessHost::answerNone);
        {
            const StopSignals stopOnSignal;
            doc.saveDocument();
            OpenCommand::settle(doc);
        }
        host.setAnswerPolicy(&HeadlessHost::answerNone);
        saved = doc.lastSaveSucceeded();
        if (!saved) {
            status = 1;
            OpenCommand::reportNotSaved(err, doc.docPath(), host, alertsBefore);
        }
        if (const int stopped = StopSignals::exitStatus()) {
            err << "trovix-cli: " << doc.docPath() << ": the save was stopped by signal "
                << stopped - 128 << "; the files listed as not saved keep their old state\n";
            status = stopped;
        }
    }

    OpenCommand::printView(viewOf(doc, host, o.save, saved), out, o.json);
    doc.requestClose();
    return status == 0 && OpenCommand::recoveryRefused(host) ? 1 : status;
}

} // namespace FileCommand
