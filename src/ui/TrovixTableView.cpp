#include "ui/TrovixTableView.h"

#include "docs/TrovixDocument.h"
#include "ui/FileWithIconDelegate.h"
#include "ui/FolderStatusDelegate.h"
#include "ui/StatusIcons.h"
#include "ui/TrackListModel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QStatusBar>

namespace {
constexpr int kStatusMessageMs = 10000;
} // namespace

TrovixTableView::TrovixTableView(TrovixDocument* doc, QWidget* parent)
    : QTableView(parent), fDoc(doc), fModel(new TrackListModel(doc, this)),
      fStatusDelegate(new FolderStatusDelegate(doc, this)),
      fFileDelegate(new FileWithIconDelegate(doc, this)) {
    setObjectName(QStringLiteral("trackTable"));
    setModel(fModel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setDragDropOverwriteMode(false);
    setAlternatingRowColors(true);
    // Tab leaves the table for the next control; arrows move between cells.
    setTabKeyNavigation(false);
    setAccessibleName(tr("Tracks"));
    verticalHeader()->hide();
    fModel->setPalette(palette());
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
    applyColumnDelegates();
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        fDoc->tracks().didClickTableColumn(fModel->columnId(section));
        reloadTracks();
    });
    connect(fModel, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnDelegates();
        selectDocumentRows();
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { pushSelection(); });
}

void TrovixTableView::applyColumnDelegates() {
    for (int c = 0; c < fModel->columnCount(); ++c) setItemDelegateForColumn(c, nullptr);
    const int status = fModel->columnOf(TrackTableModel::kStatus);
    const int file = fModel->columnOf(TrackTableModel::kOldFileName);
    if (status >= 0) setItemDelegateForColumn(status, fStatusDelegate);
    if (file >= 0) setItemDelegateForColumn(file, fFileDelegate);
    applySizes();
}

void TrovixTableView::applySizes() {
    // Rows and text columns follow the font; the letters are 16 pixels each.
    const int em = fontMetrics().averageCharWidth();
    verticalHeader()->setDefaultSectionSize(qMax(fontMetrics().height(), StatusIcons::kSize) + 6);
    const std::pair<QString, int> widths[] = {
        {TrackTableModel::kStatus, -1},       {TrackTableModel::kOldFileName, 30},
        {TrackTableModel::kOldFileTitle, 26}, {TrackTableModel::kNewFile, 26},
        {TrackTableModel::kArtist, 26},       {TrackTableModel::kNewTrack, 7},
        {TrackTableModel::kBitrate, 7},       {TrackTableModel::kTime, 7}};
    for (const auto& [id, chars] : widths) {
        const int c = fModel->columnOf(id);
        if (c < 0) continue;
        const int header = fontMetrics().horizontalAdvance(
                               fModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                           3 * em;
        setColumnWidth(c, chars < 0 ? 5 * StatusIcons::kSize + 6 : qMax(chars * em, header));
    }
}

void TrovixTableView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) fModel->setPalette(palette());
    if (event->type() == QEvent::FontChange) applySizes();
}

void TrovixTableView::editNewTitle() {
    const int column = fModel->columnOf(TrackTableModel::kNewFile);
    const int row = currentIndex().isValid() ? currentIndex().row() : 0;
    if (column < 0 || row >= fModel->rowCount()) return;
    const QModelIndex cell = fModel->index(row, column);
    setCurrentIndex(cell);
    edit(cell, EditKeyPressed, nullptr);
}

void TrovixTableView::reloadTracks() {
    fModel->reload();
    selectDocumentRows();
    viewport()->update();
}

void TrovixTableView::selectDocumentRows() {
    fSyncing = true;
    QItemSelection selection;
    const int lastColumn = fModel->columnCount() - 1;
    for (qsizetype row : fDoc->tracks().selectedTracks())
        if (row < fModel->rowCount())
            selection.select(fModel->index(int(row), 0), fModel->index(int(row), lastColumn));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    fSyncing = false;
}

void TrovixTableView::pushSelection() {
    if (fSyncing) return;
    QList<qsizetype> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.append(index.row());
    fDoc->tracks().setSelectedTracks(rows);
}

void TrovixTableView::keyPressEvent(QKeyEvent* event) {
    if (state() != EditingState &&
        (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        clear();
        return;
    }
    // F2 and Enter edit the row's new title, whichever cell is current.
    if (state() != EditingState && event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return ||
         event->key() == Qt::Key_Enter)) {
        editNewTitle();
        return;
    }
    if (event->matches(QKeySequence::Copy)) return copy();
    if (event->matches(QKeySequence::Cut)) return cut();
    if (event->matches(QKeySequence::Paste)) return paste();
    QTableView::keyPressEvent(event);
}

bool TrovixTableView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!index.isValid() || !(fModel->flags(index) & Qt::ItemIsEditable)) return false;
    if (trigger & editTriggers() || trigger == AllEditTriggers) {
        if (!fDoc->tracks().shouldEditTableColumn(index.row(), fModel->columnId(index.column())))
            return false;
    }
    return QTableView::edit(index, trigger, event);
}

void TrovixTableView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableView::closeEditor(editor, hint);
    // An abandoned edit releases the typing monitor too.
    if (fDoc->holdTypingMonitor()) fDoc->tracks().endCellEditing();
}

void TrovixTableView::clear() {
    pushSelection();
    fDoc->tracks().clearTracks();
    reloadTracks();
}

void TrovixTableView::copy() {
    pushSelection();
    if (fDoc->tracks().selectedTracks().isEmpty()) return;
    auto* data = new QMimeData;
    data->setData(TrovixDocument::kTracksType, fDoc->tracks().copyTracks());
    QApplication::clipboard()->setMimeData(data);
}

void TrovixTableView::cut() {
    copy();
    clear();
}

bool TrovixTableView::canPaste() const {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasFormat(TrovixDocument::kTracksType);
}

void TrovixTableView::paste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(TrovixDocument::kTracksType)) return;
    const TrackTableEditor::PasteResult result =
        fDoc->tracks().pasteTracks(data->data(TrovixDocument::kTracksType));
    reloadTracks();
    if (auto* main = qobject_cast<QMainWindow*>(window()); main && !result.refusal.isNull())
        main->statusBar()->showMessage(result.refusal, kStatusMessageMs);
}

void TrovixTableView::commitEdit() {
    if (state() != EditingState) return;
    QWidget* editor = QApplication::focusWidget();
    if (!editor || editor->parentWidget() != viewport()) return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}
