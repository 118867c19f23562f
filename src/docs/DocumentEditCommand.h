#pragma once

#include "docs/DocumentSnapshot.h"

#include <QUndoCommand>

class TrovixDocument;

// One undoable edit of a folder document, kept as the document's state
// before and after it. Consecutive edits with the same merge id (typing in
// one field) become one step.
class DocumentEditCommand : public QUndoCommand {
public:
    DocumentEditCommand(TrovixDocument* doc, const QString& text, int mergeId,
                        DocumentSnapshot before, DocumentSnapshot after);

    void undo() override;
    // The edit has already been made when the command is pushed.
    void redo() override;
    int id() const override { return fMergeId; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    TrovixDocument* fDoc;
    int fMergeId;
    DocumentSnapshot fBefore;
    DocumentSnapshot fAfter;
    bool fDone = true;
};
