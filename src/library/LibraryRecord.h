#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// What a library run knows of one entry (an album folder or a box set): the
// row the state database keeps for it.
struct LibraryRecord {
    enum class Status { New, LookedUp, Saved, Queued, Skipped, Failed };

    QString path;
    qint64 device = 0;
    qint64 inode = 0;
    QString fingerprint;
    Status status = Status::New;
    // The best web hit ("Artist / Album"), its result key, its distance and
    // the distance's parts; for a box set, those of its farthest disc.
    QString bestHit;
    QString chosenKey;
    std::optional<double> distance;
    QJsonArray parts;
    // One object per folder tagged (the entry itself, or each disc): its
    // path, hits with their distances and explanations, the best hit's
    // number, what a save would change, its own status and reason.
    QJsonArray albums;
    // `albums` as compact JSON, when made: a run makes it once for the state
    // database and the output line. Empty otherwise, and each makes its own.
    QByteArray albumsJson;
    QString changes; // what a save would change, in words
    QString reason;  // why it is queued or failed
    QDateTime updated;

    // "new", "looked up", "saved", "queued", "skipped", "failed".
    static QString statusName(Status status);
    static std::optional<Status> statusFromName(const QString& name);
    // Done for the run's purpose: a plan needs a look-up, a save more.
    bool settled(bool saving) const;
    // `albums` as compact JSON text.
    QByteArray albumsText() const;
    // The JSON line `library --json` prints for it, with its line feed.
    QByteArray jsonLine() const;
};
