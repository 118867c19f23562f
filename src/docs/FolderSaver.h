#pragma once

#include "save/SaveReport.h"
#include "save/SaveRequest.h"

class AlbumApplier;
class FolderContext;
struct FolderState;
struct SaveOptions;

// The folder document's save, on the main thread: the checks in order with
// their questions, the request of what to write, and the report applied to
// the records once the worker has written.
class FolderSaver {
public:
    FolderSaver(FolderContext& context, AlbumApplier& applier)
        : fContext(context), fApplier(applier) {}

    // The save command: the checks in order, the first failing one an alert;
    // when all pass, the save. Refused while busy.
    void saveDocument();
    bool saveWouldWrite() const;
    // Answers to the check questions (button index): answerSaveAnyway saves on
    // "Yes"; answerBlankTitles is "Cancel", "Save Others" or "Use Old Titles".
    void answerSaveAnyway(int button);
    void answerBlankTitles(int button);
    // The save request, made on the main thread: the new tags and names of
    // every file to write, with the options.
    SaveRequest makeSaveRequest(const SaveOptions& options);
    // The save's result, applied on the main thread in one step: records,
    // names, the folder's path, alerts, failures. The records the save read
    // back are moved out of `report`.
    void applySaveReport(SaveReport& report);
    // After a save the folder's own hits (tags, names) tell what is on disk.
    void refreshFolderHits();

private:
    FolderState& st();
    const FolderState& st() const;

    FolderContext& fContext;
    AlbumApplier& fApplier;
};
