#include "ui/HitListModel.h"

#include "ui/SourceIcons.h"

HitListModel::HitListModel(QStringList columns, QStringList titles, QObject* parent)
    : QAbstractTableModel(parent), fColumns(std::move(columns)), fTitles(std::move(titles)) {
    connect(SourceIcons::instance(), &SourceIcons::iconsChanged, this, [this] {
        const int source = int(fColumns.indexOf(QLatin1String("source")));
        if (source >= 0 && rowCount() > 0)
            emit dataChanged(index(0, source), index(rowCount() - 1, source));
    });
}

void HitListModel::reload() {
    beginResetModel();
    endResetModel();
}

int HitListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fColumns.size());
}

QVariant HitListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return fTitles.value(section);
}
