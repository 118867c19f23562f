#pragma once

#include <QAbstractTableModel>
#include <QPalette>
#include <QStringList>

class TrovixDocument;

// The track table's view of a folder document. Cells, colours, editing and
// row moves are the document's; this only adapts them to Qt's item views.
// Rows are dragged between rows under the document's private row type.
class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TrackListModel(TrovixDocument* doc, QObject* parent = nullptr);

    // The column identifier of a section ("status", "newFile", ...).
    QString columnId(int section) const { return fColumns.value(section); }
    int columnOf(const QString& identifier) const { return fColumns.indexOf(identifier); }
    // The document's data changed: a reset when the rows or columns changed,
    // else a redraw that keeps an open editor.
    void reload();
    // The palette of the view: the colours of changed and untouched cells
    // are chosen to read on its rows.
    void setPalette(const QPalette& palette);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Row lists as carried by drags: ascending row numbers.
    static QByteArray encodeRows(QList<qsizetype> rows);
    static QList<qsizetype> decodeRows(const QByteArray& bytes);
    // Row numbers mean something only to the model they came from: a drag's
    // data names its model, and other models (or other processes) refuse it.
    static void markSource(QMimeData* data, const QAbstractItemModel* model);
    static bool isFrom(const QMimeData* data, const QAbstractItemModel* model);

private:
    TrovixDocument* fDoc;
    QStringList fColumns;
    int fRows = 0;
    QPalette fPalette;
};
