#include "docs/BoxSet.h"

#include "docs/RowMove.h"

#include <algorithm>

void BoxSet::addTrackList(const AlbumDetailsPtr& details) {
    if (!details) return;
    if (!fAlbumDetailsArray) fAlbumDetailsArray = std::make_shared<AlbumDetailsArray>();
    fAlbumDetailsArray->add(details);
}

void BoxSet::removeTrackList(qsizetype index) {
    if (!fAlbumDetailsArray) return;
    fAlbumDetailsArray->removeObjectAtIndex(index);
    if (fAlbumDetailsArray->isEmpty()) fAlbumDetailsArray.reset();
}

void BoxSet::clear(QList<qsizetype> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    qsizetype removed = 0;
    for (qsizetype row : rows) {
        if (row < 0 || row - removed >= count()) continue;
        removeTrackList(row - removed);
        ++removed;
    }
}

AlbumDetailsPtr BoxSet::albumDetailsForAlbumP(qsizetype index) const {
    return fAlbumDetailsArray ? fAlbumDetailsArray->at(index) : AlbumDetailsPtr();
}

QString BoxSet::rowText(qsizetype row) const {
    const AlbumDetailsPtr details = albumDetailsForAlbumP(row);
    if (!details) return QString();
    // A missing part reads as empty text.
    return QStringLiteral("%1 / %2").arg(details->artist(), details->album());
}

void BoxSet::getNumberOfCDs(int* cds, int* tracks) const {
    int c = 0, t = 0;
    if (fAlbumDetailsArray) {
        for (const AlbumDetailsPtr& details : *fAlbumDetailsArray) {
            ++c;
            t += details->numTracks();
        }
    }
    if (cds) *cds = c;
    if (tracks) *tracks = t;
}

QString BoxSet::caption() const {
    int c = 0, t = 0;
    getNumberOfCDs(&c, &t);
    return captionFor(c, t);
}

QString BoxSet::captionFor(int cds, int tracks) {
    if (cds == 0) return QStringLiteral("There are currently no CDs in the Box Set list.");
    return QStringLiteral("There %1 currently %2 track%3 from %4 CD%5 in the Box Set list.")
        .arg(tracks < 2 ? QStringLiteral("is") : QStringLiteral("are"))
        .arg(tracks)
        .arg(tracks < 2 ? QString() : QStringLiteral("s"))
        .arg(cds)
        .arg(cds < 2 ? QString() : QStringLiteral("s"));
}

QList<qsizetype> BoxSet::acceptDrop(const QList<qsizetype>& rows, qsizetype dropRow) {
    if (!fAlbumDetailsArray) return {};
    return moveRows(fAlbumDetailsArray->array(), rows, dropRow);
}
