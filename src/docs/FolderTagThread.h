#pragma once

#include "docs/LookupSources.h"
#include "docs/LookupWorker.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/MatchDistance.h"
#include "web/sources/SourceOptions.h"

#include <QString>

#include <memory>

class CustomTag;
class MusicSource;
class ProgressIndicator;

// The worker of one opening or look-up of a folder document: it gathers the
// ranked album hits from the sources, prunes them, fetches their details and
// covers, and publishes a status the document polls.
class FolderTagThread : public LookupWorker {
public:
    FolderTagThread(ProgressIndicator* progress, bool cleanUpOnly, LookupSources sources);

    // A new list for a folder of this many tracks, whose tags say
    // `tagDetails` (the genre and year weigh in the scores).
    void initializeHits(int trackCount, AlbumDetailsPtr tagDetails);

    // One source each; after each, a cancel on the progress sheet marks the
    // look-up cancelled (the next sources still run).
    void addAlbumHitsFromCustomTag(const CustomTag* tag);
    void addAlbumHitsFromSource(const MusicSource& source, const SearchTerms& terms);
    // The album that identifiers in the files' tags name, looked up as a
    // saved search of it would be, by the first source that is on and
    // reads them; nothing when none does.
    void addAlbumHitsFromIdentifiers(const TagValues& tags, const QString& terms);
    // Every registered source that is on, in the registry's order.
    void addAlbumHitsFromWeb(const SearchTerms& terms);
    // A library run's look-up asks each source once: no second search with
    // the artist alone.
    void setOneSearchPerSource(bool on) { fOneSearchPerSource = on; }

    // Marks "no hits" for an empty list; else cuts it to "MaxEntriesToFetch".
    void pruneAlbumList();
    // Fetches the details of each hit and drops hits without any.
    void retrieveTracks();
    // The thrifty form a library run uses: one details fetch per source, for
    // the hit whose search facts the match distance puts nearest the folder
    // (a source with a hit that has details already fetches none); the hits
    // left without details are dropped.
    void retrieveNearestTracks(const MatchDistance::Folder& folder);
    QList<std::shared_ptr<AlbumArtDict>> retrieveImagesFromAlbumDetails();

    // Inserts without weights (total score 100): the hits made from the folder.
    void addHit(const std::shared_ptr<AlbumInfo>& hit);
    // The settings this look-up runs with, read when the worker was made.
    const SourceOptions& options() const override { return fOptions; }
    // A copy of the list, or null when there is none.
    std::shared_ptr<AlbumInfoArray> hits() const;

private:
    void retrieveDetails(const AlbumInfoPtr& hit);
    void dropHitsWithoutDetails();
    ScoreWeights weightsFor(const QString& terms) const;

    AlbumDetailsPtr fTagDetails;
    std::shared_ptr<AlbumInfoArray> fHits;
    LookupSources fSources;
    // Read when the worker is made, on the main thread.
    SourceOptions fOptions;
    bool fOneSearchPerSource = false;
};
