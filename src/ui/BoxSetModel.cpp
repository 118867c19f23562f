#include "ui/BoxSetModel.h"

#include "docs/TrovixDocument.h"
#include "ui/TrackListModel.h"

#include <QMimeData>

BoxSetModel::BoxSetModel(TrovixDocument* doc, QObject* parent)
    : QAbstractListModel(parent), fDoc(doc) {}

void BoxSetModel::reload() {
    beginResetModel();
    endResetModel();
}

int BoxSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fDoc->boxSetEditor().boxSet().count());
}

QVariant BoxSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return fDoc->boxSetEditor().boxSet().rowText(index.row());
}

Qt::ItemFlags BoxSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList BoxSetModel::mimeTypes() const { return {TrovixDocument::kBoxSetRowsType}; }

QMimeData* BoxSetModel::mimeData(const QModelIndexList& indexes) const {
    QList<qsizetype> rows;
    for (const QModelIndex& i : indexes) rows.append(i.row());
    auto* data = new QMimeData;
    data->setData(TrovixDocument::kBoxSetRowsType, TrackListModel::encodeRows(rows));
    TrackListModel::markSource(data, this);
    return data;
}

bool BoxSetModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                  const QModelIndex& parent) const {
    if (!data || !data->hasFormat(TrovixDocument::kBoxSetRowsType)) return false;
    if (!TrackListModel::isFrom(data, this)) return false;
    return TrackTableEditor::validateDrop(parent.isValid() && row < 0);
}

bool BoxSetModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                               const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    const qsizetype dropRow = row < 0 ? fDoc->boxSetEditor().boxSet().count() : row;
    fDoc->boxSetEditor().acceptBoxSetDrop(
        TrackListModel::decodeRows(data->data(TrovixDocument::kBoxSetRowsType)), dropRow);
    reload();
    return true;
}
