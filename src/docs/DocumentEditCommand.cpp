#include "docs/DocumentEditCommand.h"

DocumentEditCommand::DocumentEditCommand(const QString& text, int mergeId, Restore before,
                                         Restore after)
    : fText(text), fMergeId(mergeId), fBefore(std::move(before)), fAfter(std::move(after)) {}

void DocumentEditCommand::undo() {
    fBefore();
    fDone = false;
}

void DocumentEditCommand::redo() {
    if (!fDone) fAfter();
    fDone = true;
}

bool DocumentEditCommand::mergeWith(const DocumentEditCommand& later) {
    if (fMergeId == -1 || later.fMergeId != fMergeId) return false;
    fAfter = later.fAfter;
    return true;
}
