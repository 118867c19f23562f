#include "ui/HitsModel.h"

#include "docs/MatchExplanations.h"
#include "docs/TrovixDocument.h"
#include "ui/RelevanceDelegate.h"
#include "ui/SourceIcons.h"

#include <QIcon>

HitsModel::HitsModel(TrovixDocument* doc, QObject* parent)
    : HitListModel(kColumns, {"Relevance", "Artist", "Album", "Year", "Genre", "Source", "Score"},
                   parent),
      fDoc(doc) {}

int HitsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fDoc->hitTable().count());
}

int HitsModel::scoreAt(int row) const {
    const AlbumInfoPtr hit = fDoc->hitTable().hitAt(row);
    return hit ? hit->totalScore() : 0;
}

QVariant HitsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const AlbumInfoPtr hit = fDoc->hitTable().hitAt(index.row());
    if (!hit) return {};
    const QString column = columnId(index.column());
    const AlbumDetailsPtr details = hit->albumDetails();
    // The source is the details' (the hit's own key until they arrive).
    const QString key = details ? details->resultKey() : hit->resultKey();
    switch (role) {
    case Qt::DisplayRole:
        if (column == QLatin1String("relevance") || column == QLatin1String("source")) return {};
        return fDoc->hitTable().cellText(index.row(), column);
    case Qt::DecorationRole:
        if (column == QLatin1String("source")) {
            const QIcon icon = SourceIcons::instance()->decorationForKey(key);
            if (!icon.isNull()) return icon;
        }
        return {};
    case Qt::ToolTipRole: {
        const QString distance = MatchExplanations::hitTip(*fDoc, index.row());
        return distance.isNull() ? key : key + u'\n' + distance;
    }
    case RelevanceDelegate::kScoreRole:
        return hit->totalScore();
    default:
        return {};
    }
}
