#include "ui/FileWithIconDelegate.h"

#include "app/Preferences.h"
#include "docs/TrovixDocument.h"
#include "ui/ThemeColors.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>

FileWithIconDelegate::FileWithIconDelegate(TrovixDocument* doc, QObject* parent)
    : QStyledItemDelegate(parent), fDoc(doc) {}

QIcon FileWithIconDelegate::iconFor(const QString& path) const {
    auto it = fIcons.constFind(path);
    if (it != fIcons.constEnd()) return *it;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = QFileIconProvider().icon(QFileInfo(path));
    fIcons.insert(path, icon);
    return icon;
}

QColor FileWithIconDelegate::textColor(const AudioTrack& track, const QPalette& palette) const {
    if (track.isPlaceholder() || !track.okToTag())
        return ThemeColors::text(ThemeColors::LeftAlone, palette);
    // Red says a save renames the file, which it does only with renaming on
    // (as the F letter tells).
    if (!Prefs::boolValue(Prefs::kRenameTracks)) return palette.color(QPalette::Text);
    const QString newName = track.getNewFileName(fDoc->naming(), fDoc->alternate());
    if (!newName.isNull() &&
        QString::compare(track.getDisplayName(), newName, Qt::CaseInsensitive) != 0)
        return ThemeColors::text(ThemeColors::WillChange, palette);
    return palette.color(QPalette::Text);
}

void FileWithIconDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    QStyledItemDelegate::paint(painter, opt, index); // selection background
    const AudioTrackRef track = fDoc->trackArray().at(index.row());
    if (!track) return;
    const QRect r = option.rect;
    if (!track->isPlaceholder()) {
        const QRect iconRect(r.left() + 3, r.top() + (r.height() - 16) / 2, 16, 16);
        iconFor(track->getPath()).paint(painter, iconRect);
    }
    const QRect textRect = r.adjusted(16 + 3 + 3, 0, -2, 0);
    painter->save();
    painter->setFont(option.font);
    // A selected row's text reads on the highlight; the status letters keep
    // telling what will change.
    painter->setPen((option.state & QStyle::State_Selected)
                        ? option.palette.color(QPalette::HighlightedText)
                        : textColor(*track, option.palette));
    const QString name = track->isPlaceholder() ? QString() : track->getDisplayName();
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      option.fontMetrics.elidedText(name, Qt::ElideMiddle, textRect.width()));
    painter->restore();
}

QSize FileWithIconDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {qMax(size.width(), 16 * option.fontMetrics.averageCharWidth()),
            qMax(size.height(), qMax(option.fontMetrics.height(), 16) + 2)};
}
