#include "ui/HitsTableView.h"

#include "ui/HitListModel.h"

#include <QHeaderView>
#include <QKeyEvent>

HitsTableView::HitsTableView(HitListModel* model, Hooks hooks, QWidget* parent)
    : QTableView(parent), fHitModel(model), fHooks(std::move(hooks)) {
    model->setParent(this);
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    // Tab leaves the table for the next control; arrows choose a hit.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(qMax(fontMetrics().height(), 16) + 6);
    horizontalHeader()->setSectionsClickable(true);
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { fHooks.handleHitClick(index.row()); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (fHooks.sortHits(fHitModel->columnId(section))) reloadHits();
    });
}

void HitsTableView::setColumnWidthsInChars(const QList<int>& chars) {
    // Wide enough for the header too; 0 leaves a column to the view.
    const int em = fontMetrics().averageCharWidth();
    for (int c = 0; c < chars.size(); ++c) {
        const QString title = model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        if (chars[c] > 0)
            setColumnWidth(c, qMax(chars[c] * em, fontMetrics().horizontalAdvance(title) + 3 * em));
    }
}

int HitsTableView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void HitsTableView::reloadHits() {
    fHitModel->reload();
    const int row = fHooks.selectedHitRow();
    if (row >= 0 && row < fHitModel->rowCount()) {
        selectRow(row);
        scrollTo(fHitModel->index(row, 0));
    } else {
        clearSelection();
    }
}

void HitsTableView::keyPressEvent(QKeyEvent* event) {
    const int before = selectedRow();
    QTableView::keyPressEvent(event);
    const int after = selectedRow();
    if (after != before && after >= 0) fHooks.handleHitClick(after);
}
