#include "ui/TrackHitsTableView.h"

#include "docs/FileTagDocument.h"
#include "ui/RelevanceDelegate.h"
#include "ui/SongHitsModel.h"
#include "ui/StatusIcons.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// The status cell of a song hit: the letters in the colours the document
// decides for choosing that hit.
class FileStatusDelegate : public QStyledItemDelegate {
public:
    FileStatusDelegate(FileTagDocument* doc, QObject* parent)
        : QStyledItemDelegate(parent), fDoc(doc) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.text.clear();
        QStyledItemDelegate::paint(painter, opt, index); // selection background
        const TrackInfoPtr hit = fDoc->hitAt(index.row());
        if (!hit) return;
        StatusIcons::paintRow(painter, option.rect.adjusted(2, 0, 0, 0),
                              StatusIcons::colorsOf(fDoc->hitStatus(*hit)));
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {5 * StatusIcons::kSize + 4, StatusIcons::kSize + 2};
    }

private:
    FileTagDocument* fDoc;
};

} // namespace

TrackHitsTableView::TrackHitsTableView(FileTagDocument* doc, QWidget* parent)
    : QTableView(parent), fDoc(doc), fModel(new SongHitsModel(doc, this)) {
    setObjectName(QStringLiteral("trackHitsTable"));
    setModel(fModel);
    setItemDelegateForColumn(0, new RelevanceDelegate(this));
    setItemDelegateForColumn(1, new FileStatusDelegate(doc, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setSectionsClickable(true);
    const int widths[] = {104, 5 * StatusIcons::kSize + 6, 50, 200, 150, 170, 50, 90, 60};
    for (int i = 0; i < int(std::size(widths)); ++i) setColumnWidth(i, widths[i]);
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { fDoc->handleHitClick(index.row()); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (fDoc->sortHits(fModel->columnId(section))) reloadHits();
    });
}

int TrackHitsTableView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TrackHitsTableView::reloadHits() {
    fModel->reload();
    const int row = fDoc->selectedHitRow();
    if (row >= 0 && row < fModel->rowCount()) {
        selectRow(row);
        scrollTo(fModel->index(row, 0));
    } else {
        clearSelection();
    }
}

void TrackHitsTableView::keyPressEvent(QKeyEvent* event) {
    const int before = selectedRow();
    QTableView::keyPressEvent(event);
    const int after = selectedRow();
    if (after != before && after >= 0) fDoc->handleHitClick(after);
}
