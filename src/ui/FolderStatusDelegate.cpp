#include "ui/FolderStatusDelegate.h"

#include "docs/StatusDecisions.h"
#include "docs/TrovixDocument.h"

#include <QPainter>

namespace {

// The document's decisions for the row, against the album the tags give.
FolderStatusDelegate::Colors documentColors(const TrovixDocument& doc, const AudioTrack& track,
                                            qsizetype row) {
    const TagValues tagHit = StatusDecisions::albumValues(doc.applier().albumInfoFromTags().get());
    const TagValues written = doc.tagPlan().tags(track, int(row), int(doc.tracks().numberOfRows()));
    const StatusRow decided =
        StatusDecisions::folderTrack(doc.naming(), track, tagHit, written, doc.variousArtists(),
                                     doc.alternate(), doc.tracks().getNewTrack(row));
    return StatusIcons::colorsOf(decided);
}

FolderStatusDelegate::Decide& decider() {
    static FolderStatusDelegate::Decide decide = &documentColors;
    return decide;
}

} // namespace

FolderStatusDelegate::FolderStatusDelegate(TrovixDocument* doc, QObject* parent)
    : QStyledItemDelegate(parent), fDoc(doc) {}

void FolderStatusDelegate::setDecide(Decide decide) {
    decider() = decide ? std::move(decide) : Decide(&documentColors);
}

FolderStatusDelegate::Colors FolderStatusDelegate::colorsFor(const TrovixDocument& doc,
                                                             qsizetype row) {
    Colors colors;
    colors.fill(StatusIcons::Gray);
    const AudioTrackRef track = doc.trackArray().at(row);
    if (!track || track->isPlaceholder() || !track->okToTag()) return colors;
    return decider()(doc, *track, row);
}

void FolderStatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    QStyledItemDelegate::paint(painter, opt, index); // selection background
    StatusIcons::paintRow(painter, option.rect.adjusted(2, 0, 0, 0), colorsForRow(index.row()),
                          option.palette);
}
