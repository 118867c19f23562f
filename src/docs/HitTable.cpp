#include "docs/HitTable.h"

#include "model/AlbumDetails.h"

void HitTable::setAlbumArray(const std::shared_ptr<AlbumInfoArray>& hits) {
    fAlbumInfoArray = hits ? hits->copy() : nullptr;
    if (fSelectedRow >= count()) fSelectedRow = -1;
}

AlbumInfoPtr HitTable::hitAt(qsizetype row) const {
    return fAlbumInfoArray ? fAlbumInfoArray->at(row) : AlbumInfoPtr();
}

void HitTable::selectRow(int row) {
    fSelectedRow = row >= 0 && row < count() ? row : -1;
}

QString HitTable::resultKey() const {
    const AlbumInfoPtr hit = hitAt(fSelectedRow);
    return hit ? hit->resultKey() : QString();
}

bool HitTable::addAlbumDetails(const std::shared_ptr<AlbumDetails>& details, qsizetype row) {
    const AlbumInfoPtr hit = hitAt(row);
    if (!hit) return false;
    if (details && !hit->albumDetails()) hit->setAlbumDetails(details->copy());
    return true;
}

bool HitTable::sortByColumn(const QString& identifier) {
    if (!fAlbumInfoArray) return false;
    const AlbumInfoPtr selected = hitAt(fSelectedRow);
    if (!fAlbumInfoArray->sortByColumn(identifier)) return false;
    fSelectedRow = selected ? int(fAlbumInfoArray->array().indexOf(selected)) : -1;
    return true;
}

QString HitTable::cellText(qsizetype row, const QString& column) const {
    const AlbumInfoPtr hit = hitAt(row);
    if (!hit) return QString();
    if (column == u"artist") return hit->artist();
    if (column == u"album") return hit->album();
    if (column == u"score") return QString::number(hit->totalScore());
    if (column == u"year" || column == u"genre") {
        const std::shared_ptr<AlbumDetails> details = hit->albumDetails();
        if (!details) return QStringLiteral("...");
        const QString value = column == u"year" ? details->year() : details->genre();
        return value.isEmpty() ? QStringLiteral("(none)") : value;
    }
    return QString();
}
