// Undo and redo of the user's edits of one file: each edit is kept as the
// fields and the record before and after it.

#include "docs/FileTagDocument.h"

#include "docs/EditState.h"
#include "text/SearchString.h"

FileTagSnapshot FileTagDocument::snapshot() const {
    assertOwner();
    FileTagSnapshot state;
    state.fields = fFields;
    state.song = fSong;
    if (fSong) state.record = *fSong;
    if (fHitTable.selectedRow() >= 0) state.hit = fHitTable.hitAt(fHitTable.selectedRow());
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
    for (int r = 0; state.hit && r < fHitTable.count(); ++r)
        if (fHitTable.hitAt(r) == state.hit) hitRow = r;
    fHitTable.selectRow(hitRow);
    setSearchTerms(BuildSearchString(state.fields.artist, state.fields.title));
    // A step taken while typing kept the record from before the typing
    // monitor's idle step; the record follows the fields it restores.
    updateSongFromFields();
    markEdited();
    notifyHitsChanged();
    notifyTracksChanged();
}

std::shared_ptr<const EditState> FileTagDocument::editState() {
    return EditState::of(this);
}
