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
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setSectionsClickable(true);
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { fHooks.handleHitClick(index.row()); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (fHooks.sortHits(fHitModel->columnId(section))) reloadHits();
    });
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
