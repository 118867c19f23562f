#include "library/LibraryAlbum.h"

#include "docs/StatusDecisions.h"
#include "media/MusicFile.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "system/Disposal.h"
#include "system/QueuedCall.h"
#include "system/ThreadHandover.h"
#include "web/sources/ResultKeys.h"

#include <QJsonArray>
#include <QTimer>

namespace {

QJsonArray partsJson(const MatchDistance& d) {
    QJsonArray parts;
    for (const MatchDistance::Part& p : d.parts())
        parts.append(
            QJsonObject{{"name", p.name}, {"value", p.value}, {"share", p.share}, {"why", p.why}});
    return parts;
}

QString alertText(const Alert& a) {
    return a.title + QStringLiteral(": ") + a.message;
}

char gHandover;

} // namespace

LibraryAlbum::LibraryAlbum(const QString& folder, bool covers, QObject* parent)
    : QObject(parent), fFolder(folder) {
    // Nothing asked is answered: a question stops the save and is reported.
    fHost.setAnswerPolicy(&HeadlessHost::answerNone);
    fDoc = std::make_unique<TrovixDocument>(&fHost);
    fDoc->setThriftyLookups(true);
    fDoc->setKeepsHistory(false);
    fDoc->setWebCovers(covers);
    connect(fDoc.get(), &DocumentBase::jobFinished, this, [this] {
        if (fSaving) return;
        judge();
        ThreadHandover::release(&gHandover);
        emit lookedUp();
    });
}

LibraryAlbum::~LibraryAlbum() {
    ThreadHandover::acquire(&gHandover);
    fDoc->waitUntilIdle();
    fDoc->requestClose();
    // The folder's file objects (tag and atom trees) are freed on a pooled
    // thread: on this one they held up the next folder's start.
    auto tracks = std::make_shared<AudioTrackArray>(fDoc->trackArray());
    fDoc.reset();
    Disposal::later(std::move(tracks));
}

const void* LibraryAlbum::handoverToken() {
    return &gHandover;
}

void LibraryAlbum::customEvent(QEvent* event) {
    if (!QueuedCall::run(event)) QObject::customEvent(event);
}

void LibraryAlbum::open() {
    fDoc->setDocumentPath(fFolder, false);
    // A path that is no folder starts nothing.
    if (!fDoc->jobRunning())
        QTimer::singleShot(0, this, [this] {
            judge();
            ThreadHandover::release(&gHandover);
            emit lookedUp();
        });
}

void LibraryAlbum::judge() {
    const HitTable& table = fDoc->hitTable();
    fMatchFolder = fDoc->applier().matchFolder();
    fDistances.clear();
    fBestRow = -1;
    for (qsizetype row = 0; row < table.count(); ++row) {
        const AlbumInfoPtr hit = table.hitAt(row);
        fDistances << MatchDistance::compute(fMatchFolder, *hit);
        if (ResultKeys::isLocalKey(hit->resultKey()) || !fDistances.back()) continue;
        if (fBestRow < 0 || fDistances.back()->value() < fDistances[fBestRow]->value())
            fBestRow = int(row);
    }
    if (fBestRow >= 0) fDoc->applier().forceSelectOfAlbum(fBestRow);

    const AudioTrackArray& tracks = fDoc->trackArray();
    fFailure = QString();
    if (fMatchFolder.files.empty()) {
        const std::vector<Alert> alerts = fHost.alerts();
        fFailure = alerts.empty() ? QStringLiteral("No music files could be read.")
                                  : alertText(alerts.back());
    } else if (tracks.anyReadOnlyTracks() == 2) {
        fFailure = QStringLiteral("Read-only Files: no file of the folder can be written.");
        for (const AudioTrackRef& t : tracks)
            if (t->musicFile() && !t->musicFile()->whyNotWritable().isNull()) {
                fFailure = QStringLiteral("Files Not Written: ") + t->musicFile()->whyNotWritable();
                break;
            }
    }
    fSummary = makeSummary();
    if (fKeepsHits) {
        const std::shared_ptr<AlbumInfoArray> list = fDoc->hitTable().albumArray();
        fHits = list ? list->copy() : nullptr;
    }
    fFolderAfterSave = fDoc->docPath();
}

std::optional<MatchDistance> LibraryAlbum::bestDistance() const {
    return fBestRow >= 0 ? fDistances[fBestRow] : std::nullopt;
}

int LibraryAlbum::rowOfKey(const QString& key) const {
    const HitTable& table = fDoc->hitTable();
    for (qsizetype row = 0; row < table.count(); ++row)
        if (table.hitAt(row)->resultKey() == key) return int(row);
    return -1;
}

QString LibraryAlbum::changes() const {
    const TrovixDocument& doc = *fDoc;
    const TagValues tagHit = StatusDecisions::albumValues(doc.applier().albumInfoFromTags().get());
    int artist = 0, file = 0, info = 0, title = 0, number = 0, missing = 0;
    const AudioTrackArray& songs = doc.trackArray();
    const TrackTagPlan plan = doc.tagPlan();
    for (qsizetype i = 0; i < songs.count(); ++i) {
        const AudioTrack& t = *songs.at(i);
        if (t.isPlaceholder()) {
            ++missing;
            continue;
        }
        const StatusRow row = StatusDecisions::folderTrack(
            doc.naming(), t, tagHit, plan.tags(t, int(i), int(songs.count())), doc.variousArtists(),
            doc.alternate(), doc.tracks().getNewTrack(i));
        artist += row.A == Red;
        file += row.F == Red;
        info += row.I == Red;
        title += row.T == Red;
        number += row.Num == Red;
    }
    QStringList parts;
    const auto add = [&parts](int n, const char* what) {
        if (n) parts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(what));
    };
    add(title, "titles");
    add(artist, "artists");
    add(info, "album fields");
    add(number, "track numbers");
    add(file, "file names");
    add(missing, "missing tracks");
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(QStringLiteral(", "));
}

QJsonObject LibraryAlbum::makeSummary() const {
    const HitTable& table = fDoc->hitTable();
    QJsonArray hits;
    for (qsizetype row = 0; row < table.count(); ++row) {
        const AlbumInfoPtr h = table.hitAt(row);
        const std::optional<MatchDistance>& d = fDistances.value(row);
        hits.append(QJsonObject{{"number", int(row + 1)},
                                {"key", h->resultKey()},
                                {"source", ResultKeys::sourceName(h->resultKey())},
                                {"artist", h->artist()},
                                {"album", h->album()},
                                {"year", h->year()},
                                {"tracks", h->albumDetails() ? h->albumDetails()->numTracks() : 0},
                                {"distance", d ? QJsonValue(d->value()) : QJsonValue()},
                                {"explanation", d ? QJsonValue(d->summary(3)) : QJsonValue()},
                                {"parts", d ? QJsonValue(partsJson(*d)) : QJsonValue()}});
    }
    const std::optional<MatchDistance> best = bestDistance();
    return QJsonObject{{"folder", fFolder},
                       {"hits", hits},
                       {"best", fBestRow >= 0 ? QJsonValue(fBestRow + 1) : QJsonValue()},
                       {"distance", best ? QJsonValue(best->value()) : QJsonValue()},
                       {"parts", best ? QJsonValue(partsJson(*best)) : QJsonValue(QJsonArray())},
                       {"changes", changes()}};
}

void LibraryAlbum::save(int row, bool answerDefaults) {
    fSaving = true;
    fHost.setAnswerPolicy(answerDefaults ? &HeadlessHost::answerDefault
                                         : &HeadlessHost::answerNone);
    if (row != fDoc->hitTable().selectedRow()) fDoc->applier().forceSelectOfAlbum(row);
    const qsizetype alertsBefore = qsizetype(fHost.alerts().size());
    fDoc->saveDocument();
    if (fDoc->jobRunning()) {
        connect(
            fDoc.get(), &DocumentBase::jobFinished, this,
            [this, alertsBefore] { endSave(alertsBefore); }, Qt::SingleShotConnection);
        return;
    }
    QTimer::singleShot(0, this, [this, alertsBefore] { endSave(alertsBefore); });
}

void LibraryAlbum::endSave(qsizetype alertsBefore) {
    const std::vector<Alert> alerts = fHost.alerts();
    const Alert* last = qsizetype(alerts.size()) > alertsBefore ? &alerts.back() : nullptr;
    if (fDoc->lastSaveSucceeded()) {
        fSaveEnd = SaveEnd::Saved;
        fSaveReason = QString();
    } else {
        // A question left unanswered stopped it before anything was written.
        fSaveEnd = last && last->buttons.size() > 1 ? SaveEnd::Asked : SaveEnd::Refused;
        fSaveReason = last ? alertText(*last) : QStringLiteral("The save did not finish.");
    }
    fSummary = makeSummary();
    fFolderAfterSave = fDoc->docPath();
    fSaving = false;
    ThreadHandover::release(&gHandover);
    emit saveEnded();
}
