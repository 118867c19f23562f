#include "library/LibraryState.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr int kSchemaVersion = 1;
// How long a write waits for another program's lock before giving up.
constexpr int kBusyTimeoutMs = 2000;

// SQLite's result codes, as the Qt driver reports them.
constexpr int kBusy = 5, kLocked = 6, kCorrupt = 11, kNotADatabase = 26;

QString connectionName() {
    static QAtomicInt next;
    return QStringLiteral("trovix-library-%1").arg(next.fetchAndAddRelaxed(1));
}

QString jsonText(const QJsonArray& array) {
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonArray jsonArray(const QVariant& text) {
    return QJsonDocument::fromJson(text.toString().toUtf8()).array();
}

const QString kColumns = QStringLiteral(
    "path, device, inode, fingerprint, status, best_hit, chosen_key, distance, parts, albums, "
    "changes, reason, updated");

LibraryRecord recordOf(const QSqlQuery& q) {
    LibraryRecord r;
    r.path = q.value(0).toString();
    r.device = q.value(1).toLongLong();
    r.inode = q.value(2).toLongLong();
    r.fingerprint = q.value(3).toString();
    r.status =
        LibraryRecord::statusFromName(q.value(4).toString()).value_or(LibraryRecord::Status::New);
    r.bestHit = q.value(5).toString();
    r.chosenKey = q.value(6).toString();
    if (!q.value(7).isNull()) r.distance = q.value(7).toDouble();
    r.parts = jsonArray(q.value(8));
    r.albums = jsonArray(q.value(9));
    r.changes = q.value(10).toString();
    r.reason = q.value(11).toString();
    r.updated = QDateTime::fromString(q.value(12).toString(), Qt::ISODate);
    return r;
}

QVariant textOrNull(const QString& s) {
    return s.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

} // namespace

LibraryState::LibraryState() : fConnection(connectionName()) {}

LibraryState::~LibraryState() {
    fInsert.reset();
    fBegin.reset();
    fCommit.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(fConnection, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(fConnection);
}

QString LibraryState::defaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/trovix/library.sqlite");
}

bool LibraryState::fail(const QString& what, const QString& sqlError) {
    fError = QStringLiteral("%1: %2: %3").arg(fPath, what, sqlError);
    return false;
}

bool LibraryState::exec(const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(fConnection, false));
    return q.exec(sql) || report(q.lastError());
}

bool LibraryState::execKept(std::unique_ptr<QSqlQuery>& query, const QString& sql) {
    if (!query) {
        query = std::make_unique<QSqlQuery>(QSqlDatabase::database(fConnection, false));
        if (!query->prepare(sql)) {
            const QSqlError error = query->lastError();
            query.reset();
            return report(error);
        }
    }
    const bool ok = query->exec() || report(query->lastError());
    query->finish();
    return ok;
}

bool LibraryState::report(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt();
    const QString text = error.databaseText();
    if (code == kBusy || code == kLocked)
        return fail(QStringLiteral("the library state is locked by another program; try again "
                                   "when it has finished"),
                    text);
    if (code == kCorrupt || code == kNotADatabase)
        return fail(QStringLiteral("the library state file is damaged; move it aside to start "
                                   "afresh"),
                    text);
    return fail(QStringLiteral("the library state could not be read or written"), text);
}

bool LibraryState::open(const QString& path) {
    fPath = path;
    fError.clear();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), fConnection);
    if (!db.isValid())
        return fail(QStringLiteral("Qt's SQLite driver is missing"),
                    QStringLiteral("install libqt6sql6-sqlite"));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("its folder could not be made"), QFileInfo(path).absolutePath());
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open())
        return fail(QStringLiteral("the library state file could not be opened"),
                    db.lastError().text());

    // The check reads every page, so damage shows now rather than halfway
    // through a run.
    {
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check"))) return report(check.lastError());
        if (check.next() && check.value(0).toString() != QLatin1String("ok"))
            return fail(QStringLiteral("the library state file is damaged; move it aside to "
                                       "start afresh"),
                        check.value(0).toString());
        check.finish();
    }
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version"))) return report(version.lastError());
    const int found = version.next() ? version.value(0).toInt() : 0;
    version.finish();
    if (found > kSchemaVersion)
        return fail(QStringLiteral("the library state was made by a newer Trovix"),
                    QStringLiteral("version %1").arg(found));
    return exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
           exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS folders("
                               "path TEXT PRIMARY KEY, device INTEGER NOT NULL, "
                               "inode INTEGER NOT NULL, fingerprint TEXT NOT NULL, "
                               "status TEXT NOT NULL, best_hit TEXT, chosen_key TEXT, "
                               "distance REAL, parts TEXT NOT NULL, albums TEXT NOT NULL, "
                               "changes TEXT NOT NULL, reason TEXT, updated TEXT NOT NULL)")) &&
           exec(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS folders_identity ON folders(device, inode)")) &&
           exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
}

std::optional<LibraryRecord> LibraryState::find(const QString& path, qint64 device, qint64 inode) {
    const QSqlDatabase db = QSqlDatabase::database(fConnection, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT %1 FROM folders WHERE path = ?").arg(kColumns));
    q.addBindValue(path);
    if (q.exec() && q.next()) return recordOf(q);
    q.finish();
    if (device == 0 && inode == 0) return std::nullopt;
    q.prepare(
        QStringLiteral("SELECT %1 FROM folders WHERE device = ? AND inode = ?").arg(kColumns));
    q.addBindValue(device);
    q.addBindValue(inode);
    if (q.exec() && q.next()) {
        LibraryRecord r = recordOf(q);
        // Only a folder that is gone from its recorded place moved here.
        if (!QFileInfo(r.path).isDir()) return r;
    }
    return std::nullopt;
}

QList<LibraryRecord> LibraryState::under(const QString& root) {
    fError.clear();
    QList<LibraryRecord> rows;
    const QString clean = QDir::cleanPath(root);
    QSqlQuery q(QSqlDatabase::database(fConnection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM folders WHERE path = ? OR substr(path, 1, ?) = ? "
                             "ORDER BY path")
                  .arg(kColumns));
    const QString prefix = clean.endsWith(u'/') ? clean : clean + u'/';
    q.addBindValue(clean);
    q.addBindValue(prefix.size());
    q.addBindValue(prefix);
    if (!q.exec()) {
        report(q.lastError());
        return rows;
    }
    while (q.next())
        rows << recordOf(q);
    return rows;
}

bool LibraryState::write(const LibraryRecord& r, const QString& previousPath) {
    QSqlDatabase db = QSqlDatabase::database(fConnection, false);
    if (!execKept(fBegin, QStringLiteral("BEGIN IMMEDIATE"))) return false;
    if (!fInsert) {
        fInsert = std::make_unique<QSqlQuery>(db);
        fInsert->prepare(QStringLiteral("INSERT OR REPLACE INTO folders (%1) VALUES "
                                        "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                             .arg(kColumns));
    }
    QSqlQuery& q = *fInsert;
    bool ok = true;
    if (!previousPath.isEmpty() && previousPath != r.path) {
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM folders WHERE path = ?"));
        remove.addBindValue(previousPath);
        ok = remove.exec() || report(remove.lastError());
    }
    if (ok) {
        q.addBindValue(r.path);
        q.addBindValue(r.device);
        q.addBindValue(r.inode);
        q.addBindValue(r.fingerprint);
        q.addBindValue(LibraryRecord::statusName(r.status));
        q.addBindValue(textOrNull(r.bestHit));
        q.addBindValue(textOrNull(r.chosenKey));
        q.addBindValue(r.distance ? QVariant(*r.distance) : QVariant(QMetaType(QMetaType::Double)));
        q.addBindValue(jsonText(r.parts));
        q.addBindValue(QString::fromUtf8(r.albumsText()));
        q.addBindValue(r.changes.isNull() ? QString(u""_qs) : r.changes);
        q.addBindValue(textOrNull(r.reason));
        q.addBindValue((r.updated.isValid() ? r.updated : QDateTime::currentDateTimeUtc())
                           .toString(Qt::ISODate));
        ok = q.exec() || report(q.lastError());
        q.finish();
    }
    if (!ok) {
        const QString error = fError;
        exec(QStringLiteral("ROLLBACK"));
        fError = error;
        return false;
    }
    return execKept(fCommit, QStringLiteral("COMMIT"));
}

bool LibraryState::addNew(const QList<LibraryRecord>& records) {
    if (records.isEmpty()) return true;
    QSqlDatabase db = QSqlDatabase::database(fConnection, false);
    if (!exec(QStringLiteral("BEGIN IMMEDIATE"))) return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO folders (path, device, inode, fingerprint, "
                             "status, parts, albums, changes, updated) "
                             "VALUES (?, ?, ?, ?, ?, '[]', '[]', '', ?)"));
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    for (const LibraryRecord& r : records) {
        q.addBindValue(r.path);
        q.addBindValue(r.device);
        q.addBindValue(r.inode);
        q.addBindValue(r.fingerprint);
        q.addBindValue(LibraryRecord::statusName(LibraryRecord::Status::New));
        q.addBindValue(now);
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            exec(QStringLiteral("ROLLBACK"));
            return report(error);
        }
    }
    return exec(QStringLiteral("COMMIT"));
}
