#pragma once

#include <QHash>
#include <QIcon>
#include <QStyledItemDelegate>

class AudioTrack;
class TrovixDocument;

// Draws the "oldFileName" cell: the file's icon from the desktop's icon
// theme (16 x 16, 3 pixels in, centred) and its name, red when saving will
// rename it (renaming on and a new name), grey when the file cannot be
// written, in the text colour otherwise (the red and grey chosen for the
// palette's rows).
class FileWithIconDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    FileWithIconDelegate(TrovixDocument* doc, QObject* parent = nullptr);

    // The name's colour for a record on rows of this palette.
    QColor textColor(const AudioTrack& track, const QPalette& palette) const;
    // The icon of a file, fetched on first use and kept.
    QIcon iconFor(const QString& path) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    TrovixDocument* fDoc;
    mutable QHash<QString, QIcon> fIcons;
};
