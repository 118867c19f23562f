#include "ui/AlbumHitsTableView.h"

#include "docs/TrovixDocument.h"
#include "ui/HitsModel.h"
#include "ui/RelevanceDelegate.h"

#include <QHeaderView>

AlbumHitsTableView::AlbumHitsTableView(TrovixDocument* doc, QWidget* parent)
    : HitsTableView(new HitsModel(doc),
                    {[doc] { return doc->selectedHitRow(); },
                     [doc](int row) { doc->handleHitClick(row); },
                     [doc](const QString& column) { return doc->sortHits(column); }},
                    parent) {
    setObjectName(QStringLiteral("albumHitsTable"));
    setItemDelegateForColumn(0, new RelevanceDelegate(this));
    horizontalHeader()->setStretchLastSection(false);
    const int widths[] = {104, 180, 220, 60, 100, 50, 50};
    for (int i = 0; i < int(std::size(widths)); ++i) setColumnWidth(i, widths[i]);
}
