#pragma once

#include <QAbstractListModel>

class TrovixDocument;

// The box-set list of a folder document: one row per album ("artist /
// album"), reordered by dragging rows between rows under the private
// box-set row type.
class BoxSetModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit BoxSetModel(TrovixDocument* doc, QObject* parent = nullptr);
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    TrovixDocument* fDoc;
};
