#include "ui/AlbumHitsTableView.h"

#include "docs/TrovixDocument.h"
#include "ui/HitsModel.h"
#include "ui/RelevanceDelegate.h"

#include <QHeaderView>
#include <QKeyEvent>

AlbumHitsTableView::AlbumHitsTableView(TrovixDocument* doc, QWidget* parent)
    : QTableView(parent), fDoc(doc), fModel(new HitsModel(doc, this)) {
    setObjectName(QStringLiteral("albumHitsTable"));
    setModel(fModel);
    setItemDelegateForColumn(0, new RelevanceDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsClickable(true);
    setColumnWidth(0, 104);
    setColumnWidth(1, 180);
    setColumnWidth(2, 220);
    setColumnWidth(3, 60);
    setColumnWidth(4, 100);
    setColumnWidth(5, 50);
    setColumnWidth(6, 50);
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { fDoc->handleHitClick(index.row()); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (fDoc->sortHits(fModel->columnId(section))) reloadHits();
    });
}

int AlbumHitsTableView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void AlbumHitsTableView::reloadHits() {
    fModel->reload();
    const int row = fDoc->selectedHitRow();
    if (row >= 0 && row < fModel->rowCount()) {
        selectRow(row);
        scrollTo(fModel->index(row, 0));
    } else {
        clearSelection();
    }
}

void AlbumHitsTableView::keyPressEvent(QKeyEvent* event) {
    const int before = selectedRow();
    QTableView::keyPressEvent(event);
    const int after = selectedRow();
    if (after != before && after >= 0) fDoc->handleHitClick(after);
}
