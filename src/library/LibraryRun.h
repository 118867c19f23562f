#pragma once

#include "library/LibraryRecord.h"
#include "library/LibraryWalk.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class AlbumInfoArray;
class LibraryAlbum;
class LibraryState;
class QThread;

// Tags a whole music library: finds its entries, and for every one that is
// new, changed or not yet done for this kind of run, opens and looks up its
// albums in folder documents, judges the nearest web hit by its match
// distance and records the outcome in the state database as soon as the
// entry is done. A save run saves the entries whose every album is sure and
// whose save asks nothing; the others are queued for review. Used by
// `trovix-cli library` and the library window.
//
// Several entries are in work at once, so scans use every core while
// look-ups wait on the sites' shared throttles. The documents live on one
// thread per core ("lanes"), so applying hits and matching titles to files
// use every core as well; this thread only keeps the books: the database,
// the counts, the signals.
class LibraryRun : public QObject {
    Q_OBJECT
public:
    // Chosen from the accuracy benchmark: no wrong release of its 50 albums
    // lies at or below it.
    static constexpr double kDefaultMaxDistance = 0.1;

    struct Options {
        bool save = false;
        double maxDistance = kDefaultMaxDistance;
        // Entries in work at once; 0 picks twice the cores.
        int parallel = 0;
        // Threads the albums' documents live on; 0 picks one per core.
        int lanes = 0;
    };
    struct Counts {
        int total = 0;
        int done = 0; // settled before this run, or finished in it
        int saved = 0, queued = 0, failed = 0, skipped = 0, lookedUp = 0;
        qint64 elapsedMs = 0;
        qint64 leftMs = -1; // -1 until an entry of this run has finished
    };
    enum class End { Done, Stopped, StateFailed };

    LibraryRun(LibraryState& state, Options options, QObject* parent = nullptr);
    ~LibraryRun() override;

    // Runs until every entry under `root` is settled or a stop was asked;
    // an event loop runs meanwhile.
    End run(const QString& root);
    Counts counts() const { return fCounts; }

    // Starts no further entry; those in work finish. Safe in a signal
    // handler, whose signal it keeps.
    static void requestStop(int signal = 0);
    static bool stopRequested();
    static int stopSignal();
    static void clearStop();

    // Saves one album of a queued entry (the entry itself or one of its
    // discs) with its hit numbered `number` in the review, found again by
    // its result key; or marks an entry skipped. False with a message when
    // it cannot.
    static bool apply(LibraryState& state, const QString& albumFolder, int number,
                      QString* message);
    static bool skip(LibraryState& state, const QString& folder, QString* message);

signals:
    void entryFinished(const LibraryRecord& record);
    void progressed(const LibraryRun::Counts& counts);
    // The hits of an album as its look-up left them, for the window.
    void hitsFound(const QString& albumFolder, const std::shared_ptr<AlbumInfoArray>& hits);

private:
    struct Work;
    // An entry to run, with the path its row had before (a folder renamed
    // since).
    struct Pending {
        LibraryWalk::Entry entry;
        QString previousPath;
    };

    void startLanes();
    void stopLanes();
    void startMore();
    void startEntry(const Pending& pending);
    void openNext(Work* work);
    void judged(Work* work);
    void saveNext(Work* work);
    void saved(Work* work, LibraryAlbum* album);
    void finish(Work* work, LibraryRecord::Status status, const QString& reason);
    void count(LibraryRecord::Status status, int by);

    LibraryState& fState;
    Options fOptions;
    QList<Pending> fTodo;
    qsizetype fNext = 0;
    QList<Work*> fActive;
    int fParallel = 1; // entries in work at once
    Counts fCounts;
    int fFinishedThisRun = 0;
    QElapsedTimer fClock;
    QEventLoop fLoop;
    bool fStateFailed = false;
    std::vector<std::unique_ptr<QThread>> fLanes;
    std::vector<QObject*> fLaneMakers; // one living on each lane
    size_t fNextLane = 0;
};
