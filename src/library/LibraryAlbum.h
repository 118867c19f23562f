#pragma once

#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/MatchDistance.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class AlbumInfoArray;

// One album folder of a library run, in a folder document of its own as
// `trovix-cli open` drives it: opened and looked up (one details fetch per
// source), judged by the match distance, and saved with a chosen hit. No
// question a save asks is answered: it is reported instead.
//
// A run keeps its albums on threads of their own. Everything another thread
// may read after lookedUp() or saveEnded() is taken from the document before
// the signal, on the album's thread: the document itself is only ever
// touched there.
class LibraryAlbum : public QObject {
    Q_OBJECT
public:
    enum class SaveEnd { Saved, Asked, Refused };

    // `covers` off: no cover image is fetched (for a run that saves nothing).
    explicit LibraryAlbum(const QString& folder, bool covers = true, QObject* parent = nullptr);
    ~LibraryAlbum() override;

    // Orders, for the thread sanitizer (which cannot see into Qt's queues),
    // what an album hands the run's thread with its signals: the album
    // releases it just before lookedUp() and saveEnded(), the receiving slot
    // acquires it first thing, and so does the destructor, which the run's
    // deleteLater() sends to the album's thread.
    static const void* handoverToken();

    QString folder() const { return fFolder; }
    // Opens and looks the folder up; lookedUp() follows.
    void open();

    // Once looked up: the row of the web hit nearest the folder (-1 when
    // there is none), its distance, why the folder cannot be tagged at all
    // (null when it can), and the hits as a JSON array (numbered from 1 as
    // `open` numbers them, each with its distance and explanation) with what
    // a save would change; after a save, as the save left them.
    int bestRow() const { return fBestRow; }
    std::optional<MatchDistance> bestDistance() const;
    QString failure() const { return fFailure; }
    QJsonObject summary() const { return fSummary; }
    // The row of the hit with this result key; -1 when it is gone. On the
    // album's thread only.
    int rowOfKey(const QString& key) const;
    // With `keep`, lookedUp() leaves a copy of the hits with their details,
    // for a window that opens the folder afterwards without a second look-up.
    void setKeepsHits(bool keep) { fKeepsHits = keep; }
    std::shared_ptr<AlbumInfoArray> hits() const { return fHits; }

    // Applies the hit at `row` and saves; saveEnded() follows. Questions the
    // save asks stop it, or with `answerDefaults` get their default answer.
    void save(int row, bool answerDefaults = false);
    SaveEnd saveEnd() const { return fSaveEnd; }
    // "TITLE: message" of the alert that stopped or asked.
    QString saveReason() const { return fSaveReason; }
    // Where the folder is after the save (a save may rename it).
    QString folderAfterSave() const { return fFolderAfterSave; }

signals:
    void lookedUp();
    void saveEnded();

protected:
    // Runs the calls the run posts to this album's thread (QueuedCall).
    void customEvent(QEvent* event) override;

private:
    void judge();
    void endSave(qsizetype alertsBefore);
    QJsonObject makeSummary() const;
    // What saving with the applied hit would change, in words.
    QString changes() const;

    QString fFolder;
    HeadlessHost fHost;
    std::unique_ptr<TrovixDocument> fDoc;
    MatchDistance::Folder fMatchFolder;
    QList<std::optional<MatchDistance>> fDistances; // by hit row
    int fBestRow = -1;
    QString fFailure;
    QJsonObject fSummary;
    bool fKeepsHits = false;
    std::shared_ptr<AlbumInfoArray> fHits;
    QString fFolderAfterSave;
    SaveEnd fSaveEnd = SaveEnd::Refused;
    QString fSaveReason;
    bool fSaving = false;
};
