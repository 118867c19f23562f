#pragma once

#include "library/LibraryRecord.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class QSqlError;
class QSqlQuery;

// The state of library runs, kept in an SQLite database (one row per entry)
// so that a run can stop at any point and the next one goes on from there.
// Every change is one transaction; a run killed meanwhile loses at most the
// entry it was writing. Main thread only.
class LibraryState {
public:
    LibraryState();
    ~LibraryState();
    LibraryState(const LibraryState&) = delete;
    LibraryState& operator=(const LibraryState&) = delete;

    // $XDG_STATE_HOME/trovix/library.sqlite (~/.local/state when unset).
    static QString defaultPath();

    // Opens or creates the database and checks it. False with a message for
    // the user when the file is damaged, locked by another program, or
    // cannot be made.
    bool open(const QString& path);
    QString errorText() const { return fError; }
    QString path() const { return fPath; }

    // The row of this path, else the row of the same folder by device and
    // inode (a folder renamed since), else none.
    std::optional<LibraryRecord> find(const QString& path, qint64 device, qint64 inode);
    // Every row at or under `root`, by path.
    QList<LibraryRecord> under(const QString& root);
    // Replaces the row of the record's folder (by path, or by identity when
    // its path changed) in one transaction.
    bool write(const LibraryRecord& record, const QString& previousPath = QString());
    // Adds rows for entries seen for the first time, in one transaction.
    bool addNew(const QList<LibraryRecord>& records);

private:
    bool exec(const QString& sql);
    // Runs a statement kept prepared in `query` (prepared on first use).
    bool execKept(std::unique_ptr<QSqlQuery>& query, const QString& sql);
    // A message for the user from the database's error; always false.
    bool report(const QSqlError& error);
    bool fail(const QString& what, const QString& sqlError);

    QString fConnection;
    // Prepared once: a run writes a row per entry, each in a transaction.
    std::unique_ptr<QSqlQuery> fInsert, fBegin, fCommit;
    QString fPath;
    QString fError;
};
