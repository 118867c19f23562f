// Undo and redo of the user's edits: each edit is kept as the document's
// state before and after it.

#include "docs/TrovixDocument.h"

#include "docs/AlbumApplier.h"
#include "docs/EditState.h"
#include "text/SearchString.h"

DocumentSnapshot TrovixDocument::snapshot() const {
    DocumentSnapshot state;
    assertOwner();
    state.order = fState.songs.array();
    state.records = fSnapshotRecords.copy(state.order);
    state.albumFields = fState.albumFields;
    state.lockAlbumInfo = fState.lockAlbumInfo;
    state.variousArtists = fState.variousArtists;
    state.reverseArtistTitle = fState.reverseArtistTitle;
    state.currentAlbumDetails = fState.currentAlbumDetails;
    if (fState.hitTable.selectedRow() >= 0)
        state.hit = fState.hitTable.hitAt(fState.hitTable.selectedRow());
    state.selection = fState.selectedTracks;
    return state;
}

void TrovixDocument::restoreSnapshot(const DocumentSnapshot& state) {
    {
        assertOwner();
        AudioTrackArray songs;
        for (qsizetype i = 0; i < state.order.size(); ++i) {
            *state.order[i] = *state.records[i];
            songs.add(state.order[i]);
        }
        fState.songs = songs;
        fState.albumFields = state.albumFields;
    }
    fState.lockAlbumInfo = state.lockAlbumInfo;
    fState.variousArtists = state.variousArtists;
    fState.reverseArtistTitle = state.reverseArtistTitle;
    fState.currentAlbumDetails = state.currentAlbumDetails;
    int hitRow = -1;
    for (int r = 0; state.hit && r < fState.hitTable.count(); ++r)
        if (fState.hitTable.hitAt(r) == state.hit) hitRow = r;
    fState.hitTable.selectRow(hitRow);
    fState.selectedTracks = state.selection;
    setSearchTerms(BuildSearchString(state.albumFields.artist, state.albumFields.album));
    notifyHitsChanged();
    fApplier->indexTracks();
}

std::shared_ptr<const EditState> TrovixDocument::editState() {
    return EditState::of(this);
}

void TrovixDocument::saveSucceeded() {
    DocumentBase::saveSucceeded();
    fSnapshotRecords.clear();
}
