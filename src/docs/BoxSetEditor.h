#pragma once

#include "docs/BoxSet.h"

#include <QList>
#include <QString>

class AlbumApplier;
class FolderContext;
struct FolderState;

// The folder document's box-set commands. The box set is not part of an
// undo step: its edits end the history.
class BoxSetEditor {
public:
    BoxSetEditor(FolderContext& context, AlbumApplier& applier)
        : fContext(context), fApplier(applier) {}

    const BoxSet& boxSet() const;
    // Appends the chosen album to the box set; nothing without one.
    void showMultiCDPanel();
    // The sheet's OK: the caption is brought up to date.
    void multiCDPanelOK();
    QString multiCDRubric() const;
    void removeBoxSetRows(const QList<qsizetype>& rows);
    void acceptBoxSetDrop(const QList<qsizetype>& rows, qsizetype dropRow);

private:
    FolderState& st();

    FolderContext& fContext;
    AlbumApplier& fApplier;
};
