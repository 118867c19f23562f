#include "ui/TrovixTableView.h"

#include "docs/TrovixDocument.h"
#include "ui/FileWithIconDelegate.h"
#include "ui/FolderStatusDelegate.h"
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
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
    applyColumnDelegates();
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        fDoc->didClickTableColumn(fModel->columnId(section));
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
    if (status >= 0) {
        setItemDelegateForColumn(status, fStatusDelegate);
        setColumnWidth(status, 5 * 16 + 6);
    }
    if (file >= 0) {
        setItemDelegateForColumn(file, fFileDelegate);
        setColumnWidth(file, 220);
    }
    for (const QString& id : {TrackTableModel::kOldFileTitle, TrackTableModel::kNewFile,
                              TrackTableModel::kArtist}) {
        const int c = fModel->columnOf(id);
        if (c >= 0) setColumnWidth(c, 200);
    }
    for (const QString& id : {TrackTableModel::kNewTrack, TrackTableModel::kBitrate,
                              TrackTableModel::kTime}) {
        const int c = fModel->columnOf(id);
        if (c >= 0) setColumnWidth(c, 56);
    }
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
    for (qsizetype row : fDoc->selectedTracks())
        if (row < fModel->rowCount())
            selection.select(fModel->index(int(row), 0), fModel->index(int(row), lastColumn));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    fSyncing = false;
}

void TrovixTableView::pushSelection() {
    if (fSyncing) return;
    QList<qsizetype> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.append(index.row());
    fDoc->setSelectedTracks(rows);
}

void TrovixTableView::keyPressEvent(QKeyEvent* event) {
    if (state() != EditingState &&
        (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        clear();
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
        if (!fDoc->shouldEditTableColumn(index.row(), fModel->columnId(index.column())))
            return false;
    }
    return QTableView::edit(index, trigger, event);
}

void TrovixTableView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableView::closeEditor(editor, hint);
    // An abandoned edit releases the typing monitor too.
    if (fDoc->holdTypingMonitor()) fDoc->endCellEditing();
}

void TrovixTableView::clear() {
    pushSelection();
    fDoc->clearTracks();
    reloadTracks();
}

void TrovixTableView::copy() {
    pushSelection();
    if (fDoc->selectedTracks().isEmpty()) return;
    auto* data = new QMimeData;
    data->setData(TrovixDocument::kTracksType, fDoc->copyTracks());
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
    const TrovixDocument::PasteResult result =
        fDoc->pasteTracks(data->data(TrovixDocument::kTracksType));
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
