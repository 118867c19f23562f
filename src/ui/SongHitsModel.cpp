#include "ui/SongHitsModel.h"

#include "docs/FileTagDocument.h"
#include "ui/RelevanceDelegate.h"
#include "ui/SourceIcons.h"

#include <QIcon>

namespace {

// A missing or empty value reads "(none)".
QString shown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("(none)") : value;
}

} // namespace

SongHitsModel::SongHitsModel(FileTagDocument* doc, QObject* parent)
    : HitListModel(kColumns,
                   {"Relevance", "Status", "Source", "Title", "Artist", "Album", "Year", "Genre",
                    "Track"},
                   parent),
      fDoc(doc) {}

int SongHitsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fDoc->hitCount());
}

int SongHitsModel::scoreAt(int row) const {
    const TrackInfoPtr hit = fDoc->hitAt(row);
    return hit ? hit->totalScore() : 0;
}

QVariant SongHitsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const TrackInfoPtr hit = fDoc->hitAt(index.row());
    if (!hit) return {};
    const QString column = columnId(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (column == QLatin1String("title")) return shown(hit->title());
        if (column == QLatin1String("artist")) return shown(hit->artist());
        if (column == QLatin1String("album")) return shown(hit->album());
        if (column == QLatin1String("year")) return shown(hit->year());
        if (column == QLatin1String("genre")) return shown(hit->genre());
        if (column == QLatin1String("track")) return shown(hit->longTrack());
        return {};
    case Qt::DecorationRole:
        if (column == QLatin1String("source")) {
            const QIcon icon = SourceIcons::instance()->decorationForKey(hit->resultKey());
            if (!icon.isNull()) return icon;
        }
        return {};
    case Qt::ToolTipRole:
        return hit->resultKey();
    case RelevanceDelegate::kScoreRole:
        return hit->totalScore();
    default:
        return {};
    }
}
