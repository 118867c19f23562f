#pragma once

#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AlbumInfoArray.h"
#include "model/AudioTrack.h"
#include "model/MatchDistance.h"
#include "model/NamingOptions.h"

#include <QString>

#include <memory>

class FolderContext;
struct FolderState;

// The folder document's hits and what choosing one does: the chosen album's
// fields and titles applied to the album fields and the records, the
// folder's own titles and fields restored, the two check boxes' effects.
// Owned by the document; every change is an undoable edit of its state.
class AlbumApplier {
public:
    explicit AlbumApplier(FolderContext& context) : fContext(context) {}

    // Hits ------------------------------------------------------------------
    // Gives the hits table a list (null for none); the selection is cleared.
    void setAlbumHits(const std::shared_ptr<AlbumInfoArray>& hits);
    // A click on (or a key moving the selection to) a hit row.
    void handleHitClick(int row);
    void forceSelectOfAlbum(int row);
    void selectAlbumDetailsViaClick(int row, const AlbumInfoPtr& hit);
    bool sortHits(const QString& column);

    AlbumDetailsPtr currentAlbumDetails() const;
    // The folder's own hit from its tags, and from its file names.
    AlbumInfoPtr albumInfoFromTags() const;
    AlbumInfoPtr albumInfoFromFiles() const;
    // What the match distance compares hits with: the files in the list and
    // the album their tags and names tell.
    MatchDistance::Folder matchFolder() const;

    // Applying an album -----------------------------------------------------
    // The details in force: the box set followed by the chosen album, or the
    // chosen album alone.
    AlbumDetailsPtr albumDetails(bool appendCurrent) const;
    void applyAlbumInfo(const AlbumInfo& hit);
    void applyAlbumDetails(bool appendCurrent, bool reorder);
    // True when the artist was set too (various-artists mode). The naming
    // options and the capitalization switch are read once per run of
    // records by the caller.
    bool applyTitleToNewTitle(const QString& title, const QString& artist, AudioTrack& track,
                              const NamingOptions& naming, bool smart);
    void copyOldTitlesToNew(bool onlyBlank, bool onlySelected);
    void restoreAllOriginalTitles() { copyOldTitlesToNew(false, false); }
    void restoreOneOriginalTitle();
    void restoreOrigAlbumInfo();
    void variousArtistsClicked();
    void reverseArtistAndTitleClicked();
    // The records changed: the album is applied again and the rows numbered.
    void tracksChanged(bool reorder);
    void indexTracks();

private:
    FolderState& st();
    const FolderState& st() const;

    FolderContext& fContext;
};
