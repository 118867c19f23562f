#pragma once

#include "ui/StatusIcons.h"

#include <QStyledItemDelegate>

#include <functional>

class AudioTrack;
class TrovixDocument;

// Draws the "status" cell of the track table: the five letters A, F, I, T,
// Num in the colours the status decisions give for the row's record.
class FolderStatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using Colors = std::array<StatusIcons::Color, 5>;
    // The colours of one record, indexed by StatusIcons::Letter.
    using Decide = std::function<Colors(const TrovixDocument& doc, const AudioTrack& track,
                                        qsizetype row)>;

    FolderStatusDelegate(TrovixDocument* doc, QObject* parent = nullptr);

    // The colours for a row as the cell draws them.
    Colors colorsForRow(qsizetype row) const { return colorsFor(*fDoc, row); }
    static Colors colorsFor(const TrovixDocument& doc, qsizetype row);
    static void setDecide(Decide decide);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {5 * StatusIcons::kSize + 4, StatusIcons::kSize + 2};
    }

private:
    TrovixDocument* fDoc;
};
