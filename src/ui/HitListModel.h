#pragma once

#include <QAbstractTableModel>
#include <QStringList>

// What the album and song hits models share: named columns with their
// header titles, a reset on reload, and the source column redrawn when the
// site icons arrive. Subclasses give the rows.
class HitListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    HitListModel(QStringList columns, QStringList titles, QObject* parent = nullptr);

    QString columnId(int section) const { return fColumns.value(section); }
    void reload();

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList fColumns;
    QStringList fTitles;
};
