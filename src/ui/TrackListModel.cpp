#include "ui/TrackListModel.h"

#include "ui/FolderStatusDelegate.h"
#include "ui/ThemeColors.h"

#include "docs/MatchExplanations.h"
#include "docs/TrovixDocument.h"

#include <QColor>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

namespace {
// Names the model that made a drag's data.
constexpr char kSourceProperty[] = "trovixTrackModel";
} // namespace

TrackListModel::TrackListModel(TrovixDocument* doc, QObject* parent)
    : QAbstractTableModel(parent), fDoc(doc), fColumns(doc->tracks().trackColumns()),
      fRows(int(doc->tracks().numberOfRows())) {}

void TrackListModel::reload() {
    const QStringList columns = fDoc->tracks().trackColumns();
    const int rows = int(fDoc->tracks().numberOfRows());
    if (columns != fColumns || rows != fRows) {
        beginResetModel();
        fColumns = columns;
        fRows = rows;
        endResetModel();
    } else if (rows > 0) {
        emit dataChanged(index(0, 0), index(rows - 1, int(fColumns.size()) - 1));
    }
}

void TrackListModel::setPalette(const QPalette& palette) {
    fPalette = palette;
    if (fRows > 0) emit dataChanged(index(0, 0), index(fRows - 1, int(fColumns.size()) - 1));
}

int TrackListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : fRows;
}

int TrackListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fColumns.size());
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= fDoc->tracks().numberOfRows()) return {};
    const QString column = columnId(index.column());
    if (column == TrackTableModel::kStatus || column == TrackTableModel::kOldFileName) {
        // Drawn from the record by the status and file-name delegates.
        if (role == Qt::ToolTipRole && column == TrackTableModel::kOldFileName) {
            const AudioTrackRef track = fDoc->trackArray().at(index.row());
            return track ? track->getPath() : QString();
        }
        // The letters in words, for screen readers and as the tool tip.
        if ((role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) &&
            column == TrackTableModel::kStatus)
            return StatusIcons::accessibleText(FolderStatusDelegate::colorsFor(*fDoc, index.row()));
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return fDoc->tracks().cellValue(index.row(), column).text;
    case Qt::ToolTipRole:
        // How the row's file matches the applied album's title.
        return MatchExplanations::trackTip(*fDoc, index.row());
    case Qt::ForegroundRole:
        // Plain cells take the palette's text colour.
        switch (fDoc->tracks().cellValue(index.row(), column).color) {
        case TrackTableModel::CellColor::Red:
            return ThemeColors::text(ThemeColors::WillChange, fPalette);
        case TrackTableModel::CellColor::Grey:
            return ThemeColors::text(ThemeColors::LeftAlone, fPalette);
        case TrackTableModel::CellColor::Black:
            return {};
        }
        return {};
    case Qt::TextAlignmentRole:
        if (column == TrackTableModel::kNewTrack || column == TrackTableModel::kBitrate ||
            column == TrackTableModel::kTime)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const QHash<QString, QString> titles{
        {TrackTableModel::kStatus, QStringLiteral("Status")},
        {TrackTableModel::kOldFileName, QStringLiteral("File Name")},
        {TrackTableModel::kOldFileTitle, QStringLiteral("Old Title")},
        {TrackTableModel::kNewTrack, QStringLiteral("Track")},
        {TrackTableModel::kNewFile, QStringLiteral("New Title")},
        {TrackTableModel::kArtist, QStringLiteral("Artist")},
        {TrackTableModel::kBitrate, QStringLiteral("Bitrate")},
        {TrackTableModel::kTime, QStringLiteral("Time")}};
    return titles.value(columnId(section));
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    if (TrackTableModel::isEditable(columnId(index.column()))) f |= Qt::ItemIsEditable;
    return f;
}

bool TrackListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    fDoc->tracks().setObjectValue(index.row(), columnId(index.column()), value.toString());
    reload();
    return true;
}

QStringList TrackListModel::mimeTypes() const { return {TrovixDocument::kTrackRowsType}; }

QByteArray TrackListModel::encodeRows(QList<qsizetype> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(rows.size());
    for (qsizetype r : rows) out << qint64(r);
    return bytes;
}

QList<qsizetype> TrackListModel::decodeRows(const QByteArray& bytes) {
    QDataStream in(bytes);
    qint32 n = 0;
    in >> n;
    QList<qsizetype> rows;
    for (qint32 i = 0; i < n && in.status() == QDataStream::Ok; ++i) {
        qint64 r = -1;
        in >> r;
        if (in.status() == QDataStream::Ok) rows.append(r);
    }
    return rows;
}

void TrackListModel::markSource(QMimeData* data, const QAbstractItemModel* model) {
    data->setProperty(kSourceProperty, QVariant::fromValue(quintptr(model)));
}

bool TrackListModel::isFrom(const QMimeData* data, const QAbstractItemModel* model) {
    return data->property(kSourceProperty).value<quintptr>() == quintptr(model);
}

QMimeData* TrackListModel::mimeData(const QModelIndexList& indexes) const {
    QList<qsizetype> rows;
    for (const QModelIndex& i : indexes) rows.append(i.row());
    auto* data = new QMimeData;
    data->setData(TrovixDocument::kTrackRowsType, encodeRows(rows));
    markSource(data, this);
    return data;
}

bool TrackListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                     const QModelIndex& parent) const {
    if (!data || !data->hasFormat(TrovixDocument::kTrackRowsType)) return false;
    // Rows of another window (or another process) would reorder this list.
    if (!isFrom(data, this)) return false;
    // Between rows (or past the end) only; onto a row is refused.
    const bool ontoRow = parent.isValid() && row < 0;
    return TrackTableEditor::validateDrop(ontoRow);
}

bool TrackListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                  int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    const qsizetype dropRow = row < 0 ? fDoc->tracks().numberOfRows() : row;
    fDoc->tracks().acceptTrackDrop(decodeRows(data->data(TrovixDocument::kTrackRowsType)), dropRow);
    reload();
    return true;
}
