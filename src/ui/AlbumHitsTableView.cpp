#include "ui/AlbumHitsTableView.h"

#include "docs/TrovixDocument.h"
#include "ui/HitsModel.h"
#include "ui/RelevanceDelegate.h"

#include <QHeaderView>

AlbumHitsTableView::AlbumHitsTableView(TrovixDocument* doc, QWidget* parent)
    : HitsTableView(new HitsModel(doc),
                    {[doc] { return doc->hitTable().selectedRow(); },
                     [doc](int row) { doc->applier().handleHitClick(row); },
                     [doc](const QString& column) { return doc->applier().sortHits(column); }},
                    parent) {
    setObjectName(QStringLiteral("albumHitsTable"));
    setItemDelegateForColumn(0, new RelevanceDelegate(this));
    horizontalHeader()->setStretchLastSection(false);
    setAccessibleName(tr("Album hits"));
    setColumnWidthsInChars({15, 24, 30, 7, 14, 4, 6});
}
