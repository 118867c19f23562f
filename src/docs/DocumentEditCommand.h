#pragma once

#include <QUndoCommand>

#include <functional>
#include <utility>

// One undoable edit of a document, kept as the ways back to its state
// before and after it (see EditState). Consecutive edits with the same merge
// id (typing in one field) become one step.
class DocumentEditCommand : public QUndoCommand {
public:
    using Restore = std::function<void()>;
    DocumentEditCommand(const QString& text, int mergeId, Restore before, Restore after);

    void undo() override;
    // The edit has already been made when the command is pushed.
    void redo() override;
    int id() const override { return fMergeId; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    int fMergeId;
    Restore fBefore;
    Restore fAfter;
    bool fDone = true;
};
