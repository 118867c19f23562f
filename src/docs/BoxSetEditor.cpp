// The box set's commands: the chosen album added as the next disc, discs
// removed and reordered.

#include "docs/BoxSetEditor.h"

#include "docs/AlbumApplier.h"
#include "docs/FolderContext.h"
#include "docs/FolderState.h"

void BoxSetEditor::showMultiCDPanel() {
    if (fContext.busy() || !st().currentAlbumDetails) return;
    st().boxSet.addTrackList(st().currentAlbumDetails->copy());
    // The box set is not part of an undo step: its edits end the history.
    fContext.endHistory();
}

void BoxSetEditor::multiCDPanelOK() {
    st().multiCDRubric = st().boxSet.caption();
}

void BoxSetEditor::removeBoxSetRows(const QList<qsizetype>& rows) {
    if (fContext.busy()) return;
    st().boxSet.clear(rows);
    fContext.endHistory();
}

void BoxSetEditor::acceptBoxSetDrop(const QList<qsizetype>& rows, qsizetype dropRow) {
    if (fContext.busy()) return;
    st().boxSet.acceptDrop(rows, dropRow);
    fApplier.tracksChanged(true);
    fContext.endHistory();
}

const BoxSet& BoxSetEditor::boxSet() const {
    return fContext.state().boxSet;
}

QString BoxSetEditor::multiCDRubric() const {
    return fContext.state().multiCDRubric;
}

FolderState& BoxSetEditor::st() {
    return fContext.state();
}
