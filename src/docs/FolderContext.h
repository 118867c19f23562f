#pragma once

#include "docs/LookupSources.h"
#include "model/NamingOptions.h"
#include "save/SaveReport.h"
#include "tags/CustomTag.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class DocumentHost;
struct FolderState;

// What a folder document's collaborators (the track table, the album
// applier, the box set, the saver, the page look-ups) may ask of it: its
// state and the few document services an edit needs. The document
// implements it; the collaborators never see the document itself, so none
// of them depends on the class that owns them.
class FolderContext {
public:
    virtual ~FolderContext() = default;

    // The state; main thread only.
    virtual FolderState& state() = 0;
    virtual const FolderState& state() const = 0;
    // A job runs (or its end is not handled): commands are refused.
    virtual bool busy() const = 0;
    virtual QString folder() const = 0;
    virtual const LookupSources& sources() const = 0;
    // The naming settings, read when the document is made and again when the
    // settings change: titles are named with the same options as files.
    virtual const NamingOptions& naming() const = 0;

    // An undoable edit (DocumentBase::recordEdit).
    virtual void recordEdit(const QString& text, const std::function<void()>& edit,
                            int mergeId = -1) = 0;
    virtual void notifyTracksChanged() = 0;
    virtual void notifyHitsChanged() = 0;
    virtual void markEdited() = 0;
    // An edit outside the history (the box set) ends it.
    virtual void endHistory() = 0;
    // Holds the typing monitor off while a cell is edited.
    virtual void holdTypingMonitor(bool hold) = 0;
    // The cover object starts over from the folder's own candidates.
    virtual void resetCovers() = 0;

    // Saving.
    virtual DocumentHost* host() const = 0;
    virtual bool closed() const = 0;
    virtual void saveAll() = 0;
    virtual QString searchTerms() const = 0;
    virtual std::optional<CustomTag> customTag() const = 0;
    virtual int alternate() const = 0;
    virtual void setFolder(const QString& folder) = 0;
    virtual void postAlert(const QString& title, const QString& message) = 0;
    virtual void setSaveFailures(const QList<SaveReport::Failure>& failures) = 0;
    virtual void syncWindowTitle() = 0;
    virtual void concludeSave() = 0;
};
