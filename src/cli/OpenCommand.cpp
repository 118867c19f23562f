#include "cli/OpenCommand.h"

#include "cli/CliOptions.h"
#include "cli/FolderView.h"
#include "cli/JsonOutput.h"
#include "cli/StopSignals.h"
#include "cli/TextOutput.h"
#include "docs/FolderRecovery.h"
#include "docs/HeadlessHost.h"
#include "docs/StatusDecisions.h"
#include "docs/TrackTagPlan.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

FolderView viewOf(const TrovixDocument& doc, const HeadlessHost& host, bool saved) {
    FolderView v;
    v.folder = doc.docPath();
    v.artist = doc.albumField(TagField::Artist);
    v.album = doc.albumField(TagField::Album);
    v.year = doc.albumField(TagField::Year);
    v.genre = doc.albumField(TagField::Genre);
    v.variousArtists = doc.variousArtists();

    const TagValues tagHit = StatusDecisions::albumValues(doc.applier().albumInfoFromTags().get());
    const int alternate = doc.alternate();
    const NamingOptions& naming = doc.naming();
    const AudioTrackArray& songs = doc.trackArray();
    const TrackTagPlan plan = doc.tagPlan();
    v.albumArtist = plan.albumArtist();
    for (qsizetype i = 0; i < songs.count(); ++i) {
        const AudioTrackRef t = songs.at(i);
        const TagValues written = plan.tags(*t, int(i), int(songs.count()));
        FolderView::Track row;
        row.placeholder = t->isPlaceholder();
        row.file = row.placeholder ? QString(u""_qs) : t->getFileName();
        row.path = row.placeholder ? QString(u""_qs) : t->getPath();
        row.oldTitle = t->getOldTitle();
        row.newTitle = t->getNewTitle();
        row.newArtist = written.artist;
        row.newDisc = written.discCount.isEmpty() ? written.disc
                                                  : written.disc + u'/' + written.discCount;
        row.newTrack = doc.tracks().getNewTrack(i);
        row.newFileName = row.placeholder ? QString(u""_qs) : t->getNewFileName(naming, alternate);
        row.status = StatusDecisions::folderTrack(naming, *t, tagHit, written, v.variousArtists,
                                                  alternate, row.newTrack);
        v.tracks << row;
    }

    const HitTable& hits = doc.hitTable();
    const MatchDistance::Folder folder = doc.applier().matchFolder();
    for (qsizetype i = 0; i < hits.count(); ++i) {
        const AlbumInfoPtr h = hits.hitAt(i);
        FolderView::Hit hit;
        hit.key = h->resultKey();
        hit.source = sourceOfKey(hit.key);
        hit.artist = h->artist();
        hit.album = h->album();
        hit.year = h->year();
        hit.genre = h->genre();
        hit.score = h->totalScore();
        hit.tracks = h->albumDetails() ? h->albumDetails()->numTracks() : 0;
        hit.distance = MatchDistance::compute(folder, *h);
        v.hits << hit;
    }
    v.chosenHit = doc.hitTable().selectedRow() < hits.count() ? doc.hitTable().selectedRow() : -1;
    for (const Alert& a : host.alerts())
        v.alerts << a;
    v.saved = saved;
    return v;
}

bool validHit(const TrovixDocument& doc, int n, QTextStream& err) {
    if (n >= 1 && n <= doc.hitTable().count()) return true;
    err << "trovix-cli: " << doc.docPath() << ": there is no hit " << n << " (there are "
        << doc.hitTable().count() << ")\n";
    return false;
}

} // namespace

namespace OpenCommand {

void settle(DocumentBase& doc) {
    doc.waitUntilIdle();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

int run(const CliOptions& o, QTextStream& out, QTextStream& err) {
    const QFileInfo info(o.folder);
    if (o.title || o.track || o.count) {
        err << "trovix-cli: --title, --track and --count belong to single files\n";
        return 2;
    }
    if (!info.isDir()) {
        err << "trovix-cli: " << o.folder << ": "
            << (info.exists() ? "not a folder" : "no such folder") << "\n";
        return 1;
    }

    HeadlessHost host(stderr);
    // Alerts are recorded and printed; nothing is answered unless --save --yes.
    host.setAnswerPolicy(&HeadlessHost::answerNone);
    TrovixDocument doc(&host);
    // Nothing here is undone: edits keep no copies of the tracks.
    doc.setKeepsHistory(false);
    doc.setLockAlbumInfo(o.lockAlbumInfo);
    doc.setDocumentPath(info.absoluteFilePath(), o.cleanUpOnly);
    settle(doc);

    if (o.terms) {
        doc.setSearchTerms(*o.terms);
        doc.lookupCommon();
        settle(doc);
    }
    if (o.variousArtists) doc.setVariousArtists(true);
    if (o.reverse) doc.setReverseArtistTitle(true);
    for (int n : o.boxSet) {
        if (!validHit(doc, n, err)) return 1;
        doc.applier().forceSelectOfAlbum(n - 1);
        doc.boxSetEditor().showMultiCDPanel();
    }
    if (!o.boxSet.isEmpty()) doc.boxSetEditor().multiCDPanelOK();
    if (o.choose) {
        if (!validHit(doc, o.choose, err)) return 1;
        doc.applier().forceSelectOfAlbum(o.choose - 1);
    } else if (!o.boxSet.isEmpty()) {
        // The last disc listed is also the chosen hit; applying the box set
        // with the chosen album appended would match its titles twice.
        doc.applier().applyAlbumDetails(false, true);
        doc.applier().indexTracks();
    }
    if (o.artist) doc.setAlbumField(TagField::Artist, *o.artist);
    if (o.album) doc.setAlbumField(TagField::Album, *o.album);
    if (o.year) doc.setAlbumField(TagField::Year, *o.year);
    if (o.genre) doc.setAlbumField(TagField::Genre, *o.genre);
    settle(doc);

    bool saved = false;
    int status = 0;
    if (o.save) {
        const qsizetype alertsBefore = host.alerts().size();
        host.setAnswerPolicy(o.yes ? &HeadlessHost::answerDefault : &HeadlessHost::answerNone);
        {
            const StopSignals stopOnSignal;
            doc.saveDocument();
            settle(doc);
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

    OpenCommand::printView(viewOf(doc, host, saved), out, o.json);
    doc.requestClose();
    return status == 0 && OpenCommand::recoveryRefused(host) ? 1 : status;
}

bool recoveryRefused(const HeadlessHost& host) {
    for (const Alert& a : host.alerts())
        if (a.title == FolderRecovery::kRefusedTitle) return true;
    return false;
}

void reportNotSaved(QTextStream& err, const QString& path, const HeadlessHost& host,
                    qsizetype alertsBefore) {
    const std::vector<Alert> alerts = host.alerts();
    err << "trovix-cli: " << path << ": not saved";
    if (qsizetype(alerts.size()) > alertsBefore) {
        const Alert& why = alerts.back();
        err << ": " << why.title << ": " << why.message;
    }
    err << "\n";
}

} // namespace OpenCommand
