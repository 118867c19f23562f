#include "ui/RelevanceDelegate.h"

#include "ui/SourceIcons.h"

#include <QPainter>

void RelevanceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index); // selection background
    const QVariant score = index.data(kScoreRole);
    if (!score.isValid()) return;
    SourceIcons::paintRelevance(painter, option.rect, score.toInt(), option.palette);
}
