#pragma once

#include "docs/PageLookUp.h"

#include <QString>

class FolderContext;
class TrackTableEditor;

// The folder document's Web menu: a site's page about the album's artist
// or album, or the selected record's old or new title.
class PageLookUpCommands {
public:
    PageLookUpCommands(FolderContext& context, const TrackTableEditor& tracks)
        : fContext(context), fTracks(tracks) {}

    struct CommandState {
        bool enabled = false;
        QString title; // set when enabled
    };
    CommandState validateLookUp(const PageLookUp& command) const;
    void lookUp(const PageLookUp& command);
    // The text a look-up is about; empty when there is none.
    QString lookUpText(PageLookUp::What what) const;

private:
    FolderContext& fContext;
    const TrackTableEditor& fTracks;
};
