#pragma once

#include <QUndoCommand>
#include <QUndoStack>

#include <functional>
#include <utility>

// One undoable edit of a document, kept as the document's state before and
// after it; each document brings its own kind of state. Consecutive edits
// with the same merge id (typing in one field) become one step.
class DocumentEditCommand : public QUndoCommand {
public:
    using Restore = std::function<void()>;
    DocumentEditCommand(const QString& text, int mergeId, Restore before, Restore after);

    // Runs `edit` between two snapshots of `doc` and keeps it on `stack` when
    // a save would see a difference. `Doc` has snapshot() and
    // restoreSnapshot(), and its snapshot has sameEdits().
    template <class Doc>
    static void record(Doc* doc, QUndoStack& stack, const QString& text, int mergeId,
                       const std::function<void()>& edit) {
        auto before = doc->snapshot();
        edit();
        auto after = doc->snapshot();
        if (before.sameEdits(after)) return;
        stack.push(new DocumentEditCommand(
            text, mergeId, [doc, state = std::move(before)] { doc->restoreSnapshot(state); },
            [doc, state = std::move(after)] { doc->restoreSnapshot(state); }));
    }

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
