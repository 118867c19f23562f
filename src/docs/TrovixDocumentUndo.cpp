// Undo and redo of the user's edits: each edit is kept as the document's
// state before and after it.

#include "docs/TrovixDocument.h"

#include "docs/EditState.h"
#include "text/SearchString.h"

DocumentSnapshot TrovixDocument::snapshot() const {
    DocumentSnapshot state;
    assertOwner();
    state.order = fSongs.array();
    state.records = fSnapshotRecords.copy(state.order);
    state.albumFields = fAlbumFields;
    state.lockAlbumInfo = fLockAlbumInfo;
    state.variousArtists = fVariousArtists;
    state.reverseArtistTitle = fReverseArtistTitle;
    state.currentAlbumDetails = fCurrentAlbumDetails;
    if (fHitTable.selectedRow() >= 0) state.hit = fHitTable.hitAt(fHitTable.selectedRow());
    state.selection = fSelectedTracks;
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
        fSongs = songs;
        fAlbumFields = state.albumFields;
    }
    fLockAlbumInfo = state.lockAlbumInfo;
    fVariousArtists = state.variousArtists;
    fReverseArtistTitle = state.reverseArtistTitle;
    fCurrentAlbumDetails = state.currentAlbumDetails;
    int hitRow = -1;
    for (int r = 0; state.hit && r < fHitTable.count(); ++r)
        if (fHitTable.hitAt(r) == state.hit) hitRow = r;
    fHitTable.selectRow(hitRow);
    fSelectedTracks = state.selection;
    setSearchTerms(BuildSearchString(state.albumFields.artist, state.albumFields.album));
    notifyHitsChanged();
    indexTracks();
}

std::shared_ptr<const EditState> TrovixDocument::editState() {
    return EditState::of(this);
}

void TrovixDocument::saveSucceeded() {
    DocumentBase::saveSucceeded();
    fSnapshotRecords.clear();
}
