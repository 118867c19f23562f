// Undo and redo of the user's edits of one file: each edit is kept as the
// fields and the record before and after it.

#include "docs/FileTagDocument.h"

#include "docs/DocumentEditCommand.h"
#include "text/SearchString.h"

FileTagSnapshot FileTagDocument::snapshot() const {
    assertOwner();
    FileTagSnapshot state;
    state.fields = fFields;
    state.song = fSong;
    if (fSong) state.record = *fSong;
    if (fTrackHitsTableView.selectedRow() >= 0)
        state.hit = fTrackHitsTableView.hitAt(fTrackHitsTableView.selectedRow());
    return state;
}

void FileTagDocument::restoreSnapshot(const FileTagSnapshot& state) {
    {
        assertOwner();
        fFields = state.fields;
        // Another file's record (after a reopen) is not this step's.
        if (fSong && fSong == state.song && state.record) *fSong = *state.record;
    }
    int hitRow = -1;
    for (int r = 0; state.hit && r < fTrackHitsTableView.count(); ++r)
        if (fTrackHitsTableView.hitAt(r) == state.hit) hitRow = r;
    fTrackHitsTableView.selectRow(hitRow);
    setSearchTerms(BuildSearchString(state.fields.artist, state.fields.title));
    // A step taken while typing kept the record from before the typing
    // monitor's idle step; the record follows the fields it restores.
    updateSongFromFields();
    markEdited();
    notifyHitsChanged();
    notifyTracksChanged();
}

void FileTagDocument::recordEdit(const QString& text, const std::function<void()>& edit,
                                 int mergeId) {
    // An opening or look-up ends the history anyway (see scoopFileThreadData).
    if (!isIdle() || fRecording > 0) return edit();
    ++fRecording;
    DocumentEditCommand::record(this, fUndoStack, text, mergeId, edit);
    --fRecording;
}

void FileTagDocument::undo() {
    if (!isIdle()) return;
    fUndoStack.undo();
}

void FileTagDocument::redo() {
    if (!isIdle()) return;
    fUndoStack.redo();
}

void FileTagDocument::saveSucceeded() {
    fUndoStack.clear();
}
