#include "ui/FolderStatusDelegate.h"

#include "docs/TrovixDocument.h"

#include <QPainter>

namespace {

// Until the per-letter decisions are wired in, a row that saving cannot
// touch is grey and every other letter is shown as unknown (grey too).
FolderStatusDelegate::Colors greyColors(const TrovixDocument&, const AudioTrack&, qsizetype) {
    FolderStatusDelegate::Colors colors;
    colors.fill(StatusIcons::Gray);
    return colors;
}

FolderStatusDelegate::Decide& decider() {
    static FolderStatusDelegate::Decide decide = &greyColors;
    return decide;
}

} // namespace

FolderStatusDelegate::FolderStatusDelegate(TrovixDocument* doc, QObject* parent)
    : QStyledItemDelegate(parent), fDoc(doc) {}

void FolderStatusDelegate::setDecide(Decide decide) {
    decider() = decide ? std::move(decide) : Decide(&greyColors);
}

FolderStatusDelegate::Colors FolderStatusDelegate::colorsForRow(qsizetype row) const {
    Colors colors;
    colors.fill(StatusIcons::Gray);
    const AudioTrackRef track = fDoc->trackArray().objectAtIndex(row);
    if (!track || track->isPlaceholder() || !track->okToTag()) return colors;
    return decider()(*fDoc, *track, row);
}

void FolderStatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    QStyledItemDelegate::paint(painter, opt, index); // selection background
    StatusIcons::paintRow(painter, option.rect.adjusted(2, 0, 0, 0), colorsForRow(index.row()));
}
