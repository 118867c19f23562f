#include "docs/DocumentEditCommand.h"

DocumentEditCommand::DocumentEditCommand(const QString& text, int mergeId, Restore before,
                                         Restore after)
    : QUndoCommand(text), fMergeId(mergeId), fBefore(std::move(before)), fAfter(std::move(after)) {}

void DocumentEditCommand::undo() {
    fBefore();
    fDone = false;
}

void DocumentEditCommand::redo() {
    if (!fDone) fAfter();
    fDone = true;
}

bool DocumentEditCommand::mergeWith(const QUndoCommand* other) {
    if (other->id() != id()) return false;
    fAfter = static_cast<const DocumentEditCommand*>(other)->fAfter;
    return true;
}
