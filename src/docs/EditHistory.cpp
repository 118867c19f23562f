#include "docs/EditHistory.h"

EditHistory::~EditHistory() = default;

void EditHistory::push(std::unique_ptr<DocumentEditCommand> step) {
    fSteps.resize(static_cast<size_t>(fIndex));
    DocumentEditCommand* last = fIndex > 0 ? fSteps.back().get() : nullptr;
    if (!last || !last->mergeWith(*step)) {
        fSteps.push_back(std::move(step));
        ++fIndex;
    }
    emit indexChanged(fIndex);
}

void EditHistory::undo() {
    if (!canUndo()) return;
    fSteps[static_cast<size_t>(--fIndex)]->undo();
    emit indexChanged(fIndex);
}

void EditHistory::redo() {
    if (!canRedo()) return;
    fSteps[static_cast<size_t>(fIndex++)]->redo();
    emit indexChanged(fIndex);
}

void EditHistory::clear() {
    if (fSteps.empty()) return;
    fSteps.clear();
    fIndex = 0;
    emit indexChanged(0);
}

QString EditHistory::undoText() const {
    return canUndo() ? fSteps[static_cast<size_t>(fIndex - 1)]->text() : QString();
}

QString EditHistory::redoText() const {
    return canRedo() ? fSteps[static_cast<size_t>(fIndex)]->text() : QString();
}

#include "moc_EditHistory.cpp"
