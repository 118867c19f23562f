#include "docs/PageLookUpCommands.h"

#include "docs/FolderContext.h"
#include "docs/FolderState.h"
#include "docs/TrackTableEditor.h"

// The text a look-up on a site's page is about; empty when there is none
// (the song look-ups need a selected record, and a new title only counts
// when it differs from the old one).
QString PageLookUpCommands::lookUpText(PageLookUp::What what) const {
    switch (what) {
    case PageLookUp::What::Artist:
        return fContext.state().albumFields.text(TagField::Artist);
    case PageLookUp::What::Album:
        return fContext.state().albumFields.text(TagField::Album);
    case PageLookUp::What::OldTitle:
    case PageLookUp::What::NewTitle:
        break;
    }
    const AudioTrackRef track = fTracks.firstSelectedTrack();
    if (!track) return QString();
    if (what == PageLookUp::What::OldTitle) return track->getOldTitle();
    return QString::compare(track->getNewTitle(), track->getOldTitle(), Qt::CaseInsensitive) != 0
               ? track->getNewTitle()
               : QString();
}

PageLookUpCommands::CommandState
PageLookUpCommands::validateLookUp(const PageLookUp& command) const {
    CommandState state;
    if (fContext.busy() || !command.site) return state;
    const QString text = lookUpText(command.what);
    if (text.isEmpty()) return state;
    state.enabled = true;
    state.title = command.titleFor(text);
    return state;
}

void PageLookUpCommands::lookUp(const PageLookUp& command) {
    if (fContext.busy() || !fContext.sources().browse || !command.site) return;
    const AudioTrackRef track = fTracks.firstSelectedTrack();
    // A new title is looked up as it stands, even when it equals the old.
    const QString text = command.what == PageLookUp::What::NewTitle
                             ? (track ? track->getNewTitle() : QString())
                             : lookUpText(command.what);
    if (command.what != PageLookUp::What::Artist && command.what != PageLookUp::What::Album &&
        !track)
        return;
    fContext.sources().browse(*command.site, command.subject(), text);
}
