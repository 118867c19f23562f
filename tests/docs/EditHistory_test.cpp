// The document's undo history: steps, merging by id, undo and redo, and the
// signal the Edit menu follows.
#include "docs/EditHistory.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>
#include <vector>

namespace {

// One operation on a history over an int: "=N/ID" sets the value to N as
// an edit with merge id ID, "u" undoes, "r" redoes, "c" clears.
struct Op {
    char kind;
    int value = 0;
    int mergeId = -1;
};

struct Case {
    const char* name;
    std::vector<Op> ops;
    int value, index, count;
    const char* undoText;
    const char* redoText;
    int emitted; // indexChanged signals
};

}

TEST(EditHistory, StepsMergeUndoRedoAndSignalAsTheMenusExpect) {
    const Op u{'u'}, r{'r'}, c{'c'};
    const auto set = [](int v, int id = -1) { return Op{'=', v, id}; };
    const Case cases[] = {
        {"empty: undo and redo do nothing", {u, r}, 0, 0, 0, "", "", 0},
        {"unmerged edits are steps", {set(1), set(2)}, 2, 2, 2, "set 2", "", 2},
        {"same id in a row is one step, named by its first", {set(1, 7), set(2, 7), set(3, 7)}, 3, 1, 1, "set 1", "", 3},
        {"merged step undoes to before its first edit", {set(1, 7), set(2, 7), u}, 0, 0, 1, "", "set 1", 3},
        {"-1 never merges", {set(1), set(2), set(3)}, 3, 3, 3, "set 3", "", 3},
        {"another id starts a step", {set(1, 7), set(2, 8)}, 2, 2, 2, "set 2", "", 2},
        {"undo then redo", {set(1), set(2), u, u, r}, 1, 1, 2, "set 1", "set 2", 5},
        {"redo past the end does nothing", {set(1), u, r, r}, 1, 1, 1, "set 1", "", 3},
        {"a push drops the undone steps", {set(1), set(2), u, set(5)}, 5, 2, 2, "set 5", "", 4},
        {"no merge into an undone step", {set(1, 7), set(2, 8), u, set(3, 8)}, 3, 2, 2, "set 3", "", 4},
        {"clear ends the history, keeps the value", {set(1), set(2), c, u}, 2, 0, 0, "", "", 3},
        {"clearing an empty history is silent", {c}, 0, 0, 0, "", "", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        int value = 0;
        EditHistory history;
        QSignalSpy spy(&history, &EditHistory::indexChanged);
        for (const Op& op : k.ops) {
            if (op.kind == 'u') history.undo();
            else if (op.kind == 'r') history.redo();
            else if (op.kind == 'c') history.clear();
            else {
                const int before = value;
                value = op.value;
                history.push(std::make_unique<DocumentEditCommand>(
                    QStringLiteral("set %1").arg(op.value), op.mergeId,
                    [&value, before] { value = before; }, [&value, v = op.value] { value = v; }));
            }
        }
        EXPECT_EQ(value, k.value);
        EXPECT_EQ(history.index(), k.index);
        EXPECT_EQ(history.count(), k.count);
        EXPECT_EQ(history.canUndo(), k.index > 0);
        EXPECT_EQ(history.canRedo(), k.index < k.count);
        EXPECT_EQ(history.undoText(), QString::fromLatin1(k.undoText));
        EXPECT_EQ(history.redoText(), QString::fromLatin1(k.redoText));
        EXPECT_EQ(spy.count(), k.emitted);
        if (!spy.isEmpty()) {
            EXPECT_EQ(spy.last().at(0).toInt(), k.index);
        }
    }
}
