#pragma once

#include "docs/DocumentEditCommand.h"

#include <QObject>

#include <memory>
#include <vector>

// A document's undo history: the steps done and, past the index, the ones
// undone that a redo does again. Kept here rather than in QUndoStack, which
// would link Qt Gui (and its thirty libraries) into the command line.
// A step pushed with the merge id of the one before it (not -1) becomes
// part of that step; a push drops every undone step.
class EditHistory : public QObject {
    Q_OBJECT

public:
    explicit EditHistory(QObject* parent = nullptr) : QObject(parent) {}
    ~EditHistory() override;

    // The edit has already been made: the step is only recorded.
    void push(std::unique_ptr<DocumentEditCommand> step);
    void undo();
    void redo();
    void clear();

    bool canUndo() const { return fIndex > 0; }
    bool canRedo() const { return fIndex < count(); }
    // The texts of the steps an undo or a redo would take (empty if none).
    QString undoText() const;
    QString redoText() const;
    int count() const { return static_cast<int>(fSteps.size()); }
    // How many steps are done.
    int index() const { return fIndex; }

signals:
    // A push, merge, undo, redo or clear changed what the menus offer.
    void indexChanged(int index);

private:
    std::vector<std::unique_ptr<DocumentEditCommand>> fSteps;
    int fIndex = 0;
};
