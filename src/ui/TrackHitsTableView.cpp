#include "ui/TrackHitsTableView.h"

#include "docs/FileTagDocument.h"
#include "ui/RelevanceDelegate.h"
#include "ui/SongHitsModel.h"
#include "ui/StatusIcons.h"

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
                              StatusIcons::colorsOf(fDoc->hitStatus(*hit)), option.palette);
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {5 * StatusIcons::kSize + 4, StatusIcons::kSize + 2};
    }

private:
    FileTagDocument* fDoc;
};

} // namespace

TrackHitsTableView::TrackHitsTableView(FileTagDocument* doc, QWidget* parent)
    : TrackHitsTableView(doc, new SongHitsModel(doc), parent) {}

TrackHitsTableView::TrackHitsTableView(FileTagDocument* doc, SongHitsModel* model,
                                       QWidget* parent)
    : HitsTableView(model,
                    {[doc] { return doc->selectedHitRow(); },
                     [doc](int row) { doc->handleHitClick(row); },
                     [doc](const QString& column) { return doc->sortHits(column); }},
                    parent),
      fModel(model) {
    setObjectName(QStringLiteral("trackHitsTable"));
    setItemDelegateForColumn(0, new RelevanceDelegate(this));
    setItemDelegateForColumn(1, new FileStatusDelegate(doc, this));
    setAccessibleName(tr("Song hits"));
    setColumnWidthsInChars({15, 0, 4, 26, 20, 22, 7, 12, 6});
    setColumnWidth(1, 5 * StatusIcons::kSize + 6);
}
