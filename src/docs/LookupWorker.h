#pragma once

#include <QList>

#include <atomic>
#include <memory>

class AlbumArtDict;
class AlbumInfoArray;
class ProgressIndicator;
struct SourceOptions;

// What the workers of both documents share: the status the document polls,
// the cancel bookkeeping, and the steps that treat album and song hits alike.
class LookupWorker {
public:
    // The published status.
    enum Status { Running = -1, Finished = 0, Cancelled = 2, NoHits = 3 };

    LookupWorker(ProgressIndicator* progress, bool cleanUpOnly)
        : fProgress(progress), fCleanUpOnly(cleanUpOnly) {}
    virtual ~LookupWorker() = default;

    int status() const { return fStatus.load(); }
    // Publishes the status built up while running.
    void finalize() { fStatus.store(fTempStatus); }
    bool cleanUpOnly() const { return fCleanUpOnly; }
    ProgressIndicator* progress() const { return fProgress; }
    // The settings this look-up runs with, read when the worker was made.
    virtual const SourceOptions& options() const = 0;

protected:
    // A cancel on the progress sheet marks the operation cancelled.
    void noteCancel();
    bool cancelled() const;
    // Marks "no hits" for an empty list; else cuts it to "MaxEntriesToFetch".
    void pruneList(AlbumInfoArray* hits);
    // Downloads the cover every hit names, each address once, until the
    // look-up's time is up: the candidates, for the main thread to add.
    QList<std::shared_ptr<AlbumArtDict>> retrieveImages(AlbumInfoArray* hits);
    // Whether the look-up's time is up (LookupDeadline): the steps that
    // fetch stop, and the hits found so far are shown. Logs the first time.
    bool outOfTime(const char* step);

    ProgressIndicator* fProgress;
    int fTempStatus = Finished;
    bool fOutOfTimeLogged = false;
    std::atomic<int> fStatus{Running};
    bool fCleanUpOnly;
};
