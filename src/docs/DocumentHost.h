#pragma once

#include "system/AlertHost.h"
#include "system/ProgressIndicator.h"

// What a document needs from whoever shows it: the window, the command line
// or a test. Documents never include widget headers; they hold a pointer to
// one of these.
class DocumentHost : public AlertHost {
public:
    // The progress sheet of the running operation, created on demand. Callable
    // from worker threads.
    virtual ProgressIndicator* progressSheet() = 0;
    // Closes and forgets the current progress sheet (main thread).
    virtual void closeProgressSheet() = 0;
    // The document's data changed: redraw the track table / the hits table.
    virtual void reloadTracks() = 0;
    virtual void reloadHits() = 0;
    // The document's display name changed (a folder rename).
    virtual void syncWindowTitle() = 0;
    // The document has (or no longer has) unsaved changes.
    virtual void setEdited(bool edited) = 0;
    // Commits an edit in progress, so a cell being typed in is taken.
    virtual void endEditing() {}
    // Whether the tracks are worth showing while the opening's look-up runs
    // (a window's table). Callable from worker threads.
    virtual bool showsTracksWhileOpening() const { return true; }
};
