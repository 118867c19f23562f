#pragma once

#include <QStyledItemDelegate>

// Draws a hit's relevance bar, cut to the score from the relevance picture
// for the column's width.
class RelevanceDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
