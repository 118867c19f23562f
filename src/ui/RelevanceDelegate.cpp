#include "ui/RelevanceDelegate.h"

#include "ui/SourceIcons.h"

#include <QPainter>

void RelevanceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index); // selection background
    const QVariant score = index.data(kScoreRole);
    if (!score.isValid()) return;
    const QImage bar = SourceIcons::relevanceImage(score.toInt(), option.rect.width());
    if (bar.isNull()) return;
    // The bar sits in the column width by 14 inset by 2, centred vertically.
    const int top = option.rect.top() + (option.rect.height() - bar.height()) / 2;
    painter->drawImage(QPoint(option.rect.left() + 2, top), bar);
}
