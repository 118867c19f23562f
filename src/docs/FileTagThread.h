#pragma once

#include "docs/LookupSources.h"
#include "docs/LookupWorker.h"
#include "model/TrackInfoArray.h"
#include "web/sources/SourceOptions.h"

#include <QString>

#include <memory>

class CustomTag;
class MusicSource;
class ProgressIndicator;

// The worker of one opening or look-up of a single-file document: it gathers
// ranked song hits from the saved search and the sources that serve song
// searches, prunes them, fetches the album of each hit to learn the song's
// position, and publishes a status the document polls. Sources that know
// albums only are never asked. It works on the values it is given and never
// reads the document.
class FileTagThread : public LookupWorker {
public:
    FileTagThread(ProgressIndicator* progress, bool cleanUpOnly, LookupSources sources);

    void initializeHits();

    // Each runs only when the terms split into artist and title; a cancel on
    // the progress sheet marks the look-up cancelled.
    void addTrackHitsFromCustomTag(const CustomTag* tag);
    // `typedIn` ranks the hits of sources that do not rank by artist alone:
    // the weights of the fields as they were when the search started.
    void addTrackHitsFromSource(const MusicSource& source, const QString& terms,
                                const ScoreWeights& typedIn);
    // Every registered song source that is on, in the registry's order.
    void addTrackHitsFromWeb(const QString& terms, const ScoreWeights& typedIn);

    void pruneAlbumList() { pruneList(fHits.get()); }
    // Fetches the album of each hit, numbers the song by its closest title
    // there, and drops hits without an album.
    void retrieveTracks();
    QList<std::shared_ptr<AlbumArtDict>> retrieveImagesFromTrackDetails() {
        return retrieveImages(fHits.get());
    }

    // Inserts without weights (total score 100): the hits made from the file.
    void addHit(const TrackInfoPtr& hit);
    // The settings this look-up runs with, read when the worker was made.
    const SourceOptions& options() const override { return fOptions; }
    // A copy of the list, or null when there is none.
    std::shared_ptr<TrackInfoArray> hits() const;

private:
    std::shared_ptr<TrackInfoArray> fHits;
    LookupSources fSources;
    // Read when the worker is made, on the main thread.
    SourceOptions fOptions;
};
