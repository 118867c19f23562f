#include "docs/DocumentEditCommand.h"

#include "docs/TrovixDocument.h"

DocumentEditCommand::DocumentEditCommand(TrovixDocument* doc, const QString& text, int mergeId,
                                         DocumentSnapshot before, DocumentSnapshot after)
    : QUndoCommand(text), fDoc(doc), fMergeId(mergeId), fBefore(std::move(before)),
      fAfter(std::move(after)) {}

void DocumentEditCommand::undo() {
    fDoc->restoreSnapshot(fBefore);
    fDone = false;
}

void DocumentEditCommand::redo() {
    if (!fDone) fDoc->restoreSnapshot(fAfter);
    fDone = true;
}

bool DocumentEditCommand::mergeWith(const QUndoCommand* other) {
    if (other->id() != id()) return false;
    fAfter = static_cast<const DocumentEditCommand*>(other)->fAfter;
    return true;
}
