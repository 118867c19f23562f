#pragma once

#include <QStyledItemDelegate>

// Draws a hit's relevance bar, as long as the score says, in the column's
// width. The hit tables' models give the score (0..100)
// under kScoreRole.
class RelevanceDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kScoreRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
