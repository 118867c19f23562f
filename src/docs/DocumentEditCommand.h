#pragma once

#include <QString>

#include <functional>
#include <utility>

// One undoable edit of a document, kept as the ways back to its state
// before and after it (see EditState). Consecutive edits with the same merge
// id (typing in one field) become one step; -1 merges with nothing.
class DocumentEditCommand {
public:
    using Restore = std::function<void()>;
    DocumentEditCommand(const QString& text, int mergeId, Restore before, Restore after);

    const QString& text() const { return fText; }
    void undo();
    // The edit has already been made when the command is pushed.
    void redo();
    // Takes in a later edit with the same merge id: this step then ends
    // where that one does.
    bool mergeWith(const DocumentEditCommand& later);

private:
    QString fText;
    int fMergeId;
    Restore fBefore;
    Restore fAfter;
    bool fDone = true;
};
