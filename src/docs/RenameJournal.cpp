#include "docs/RenameJournal.h"

#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/SaveSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray nativePath(const QString& folder, const QString& name) {
    return QFile::encodeName(folder + QLatin1Char('/') + name);
}

bool syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool writeAll(int fd, const QByteArray& data) {
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Which of the entry's names holds its file now; null when none does.
QString locate(const QString& folder, const RenameEntry& e) {
    for (const QString& name : {e.oldName, e.tempName, e.newName}) {
        if (name.isEmpty()) continue;
        struct stat st;
        if (::lstat(nativePath(folder, name).constData(), &st) == 0 && st.st_dev == e.device &&
            st.st_ino == e.inode)
            return name;
    }
    return QString();
}

QJsonObject toJson(const RenamePlan& plan) {
    QJsonArray files;
    for (const RenameEntry& e : plan.files)
        files.append(QJsonObject{{"old", e.oldName},
                                 {"temp", e.tempName},
                                 {"new", e.newName},
                                 {"dev", QString::number(quint64(e.device))},
                                 {"ino", QString::number(quint64(e.inode))}});
    QJsonObject o{{"version", 1}, {"files", files}};
    if (!plan.newFolderName.isNull())
        o.insert("folder", QJsonObject{{"old", plan.oldFolderName}, {"new", plan.newFolderName}});
    return o;
}

} // namespace

bool RenameJournal::exists(const QString& folder) {
    return pathExists(folder + QLatin1Char('/') + kFileName);
}

bool RenameJournal::write(const QString& folder, const RenamePlan& plan, QString* error) {
    const QByteArray data = QJsonDocument(toJson(plan)).toJson(QJsonDocument::Compact);
    const QByteArray temp = nativePath(folder, kFileName + QStringLiteral(".%1").arg(::getpid()));
    const QByteArray target = nativePath(folder, kFileName);
    SaveSteps::step("journal-write");
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = errnoText(errno);
        return false;
    }
    const bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!ok) {
        ::unlink(temp.constData());
        if (error) *error = errnoText(err);
        return false;
    }
    SaveSteps::step("journal-commit");
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        if (error) *error = errnoText(e);
        return false;
    }
    if (!syncFolder(folder)) {
        if (error) *error = errnoText(errno);
        return false;
    }
    return true;
}

std::optional<RenamePlan> RenameJournal::read(const QString& folder, QString* error) {
    QFile file(folder + QLatin1Char('/') + kFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return std::nullopt;
    }
    // A plan is a few hundred bytes per file; anything far larger is not ours.
    if (file.size() > (64 << 20)) {
        if (error) *error = QStringLiteral("The journal is too large.");
        return std::nullopt;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    const QJsonObject o = doc.object();
    if (parse.error != QJsonParseError::NoError || o.value("version").toInt() != 1) {
        if (error) *error = QStringLiteral("The journal cannot be read.");
        return std::nullopt;
    }
    RenamePlan plan;
    for (const QJsonValue& v : o.value("files").toArray()) {
        const QJsonObject f = v.toObject();
        RenameEntry e;
        e.oldName = f.value("old").toString();
        e.tempName = f.value("temp").toString();
        e.newName = f.value("new").toString();
        e.device = dev_t(f.value("dev").toString().toULongLong());
        e.inode = ino_t(f.value("ino").toString().toULongLong());
        // Plain names only: a journal never sends a file out of its folder.
        for (const QString& n : {e.oldName, e.tempName, e.newName})
            if (n.isEmpty() || n.contains(QLatin1Char('/')) || n == u"." || n == u"..") {
                if (error) *error = QStringLiteral("The journal names an invalid file.");
                return std::nullopt;
            }
        plan.files << e;
    }
    const QJsonObject f = o.value("folder").toObject();
    if (!f.isEmpty()) {
        plan.oldFolderName = f.value("old").toString();
        plan.newFolderName = f.value("new").toString();
        if (plan.newFolderName.isEmpty() || plan.newFolderName.contains(QLatin1Char('/')))
            plan.oldFolderName = plan.newFolderName = QString();
    }
    return plan;
}

bool RenameJournal::remove(const QString& folder, QString* error) {
    SaveSteps::step("journal-remove");
    if (::unlink(nativePath(folder, kFileName).constData()) != 0 && errno != ENOENT) {
        if (error) *error = errnoText(errno);
        return false;
    }
    syncFolder(folder);
    return true;
}

std::vector<RenameOutcome> RenameJournal::carryOut(const QString& folder, const RenamePlan& plan,
                                                   Direction direction,
                                                   const std::function<bool()>& stop,
                                                   bool* stopped) {
    const auto target = [direction](const RenameEntry& e) {
        return direction == Direction::Forward ? e.newName : e.oldName;
    };
    const auto other = [direction](const RenameEntry& e) {
        return direction == Direction::Forward ? e.oldName : e.newName;
    };
    const auto path = [&folder](const QString& name) { return folder + QLatin1Char('/') + name; };
    const auto askStop = [&] {
        if (!stop || !stop()) return false;
        if (stopped) *stopped = true;
        return true;
    };
    if (stopped) *stopped = false;

    std::vector<RenameOutcome> out(size_t(plan.files.size()));
    std::vector<QString> where(size_t(plan.files.size()));
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        where[size_t(i)] = locate(folder, plan.files[i]);
        out[size_t(i)].finalName = where[size_t(i)];
        if (where[size_t(i)].isNull())
            out[size_t(i)].failure = QStringLiteral("The file is no longer in the folder.");
    }

    bool halted = false;
    // The names the plan's files hold now. A file goes straight to its new
    // name when none of them holds it (a move never replaces whatever else
    // might); else out of its way first, to its temporary name, so that no
    // final name is held by a file still to move (two files swapping names).
    QSet<QString> held;
    for (const QString& at : where)
        if (!at.isNull()) held.insert(at);
    for (qsizetype i = 0; i < plan.files.size() && !halted; ++i) {
        const RenameEntry& e = plan.files[i];
        QString& at = where[size_t(i)];
        if (at.isNull() || at == e.tempName || at == target(e)) continue;
        if (askStop()) {
            halted = true;
            break;
        }
        if (!held.contains(target(e))) {
            SaveSteps::step("rename-final");
            if (moveWithoutReplacing(path(at), path(target(e))).ok()) {
                held.remove(at);
                at = target(e);
                held.insert(at);
                out[size_t(i)].finalName = at;
                continue;
            }
        }
        SaveSteps::step("rename-temp");
        const MoveResult r = moveWithoutReplacing(path(at), path(e.tempName));
        if (r.ok()) {
            held.remove(at);
            at = e.tempName;
            held.insert(at);
        } else {
            out[size_t(i)].failure = QStringLiteral("It could not be given a temporary name: %1.")
                                         .arg(r.code == MoveResult::Code::TargetExists
                                                  ? QStringLiteral("the name is taken")
                                                  : r.error);
        }
        out[size_t(i)].finalName = at;
    }
    for (qsizetype i = 0; i < plan.files.size() && !halted; ++i) {
        const RenameEntry& e = plan.files[i];
        QString& at = where[size_t(i)];
        if (at != e.tempName) continue;
        if (askStop()) {
            halted = true;
            break;
        }
        SaveSteps::step("rename-final");
        MoveResult r = moveWithoutReplacing(path(at), path(target(e)));
        if (r.ok()) {
            at = target(e);
        } else {
            const QString why =
                r.code == MoveResult::Code::TargetExists
                    ? QStringLiteral("a file named \"%1\" appeared meanwhile").arg(target(e))
                    : r.error;
            // Never leave a temporary name: the other name, if it is free.
            SaveSteps::step("rename-final");
            r = moveWithoutReplacing(path(at), path(other(e)));
            if (r.ok()) at = other(e);
            out[size_t(i)].failure =
                QStringLiteral("It could not be renamed to \"%1\": %2. It is named \"%3\".")
                    .arg(target(e), why, at);
        }
        out[size_t(i)].finalName = at;
    }
    if (!syncFolder(folder)) TROVIX_LOG() << "Could not sync" << folder << errnoText(errno);
    return out;
}

RenameJournal::Recovery RenameJournal::finish(const QString& folder) {
    Recovery rec;
    rec.folder = folder;
    // Half-written journals of a save that died before committing one; the
    // caller's lock says no living save owns them.
    const QString prefix = kFileName + QLatin1Char('.');
    for (const QString& name : QDir(folder).entryList({prefix + u'*'}, QDir::Files | QDir::Hidden))
        ::unlink(nativePath(folder, name).constData());
    if (!exists(folder)) return rec;
    rec.found = true;
    QString error;
    const std::optional<RenamePlan> plan = read(folder, &error);
    if (!plan) {
        rec.problems << QStringLiteral("The rename journal could not be read (%1); it was left "
                                       "in place.")
                            .arg(error);
        return rec;
    }
    const std::vector<RenameOutcome> outcomes = carryOut(folder, *plan, Direction::Forward);
    bool allThere = true;
    for (qsizetype i = 0; i < plan->files.size(); ++i) {
        const RenameEntry& e = plan->files[i];
        const RenameOutcome& o = outcomes[size_t(i)];
        rec.names.insert(e.oldName, o.finalName);
        rec.names.insert(e.tempName, o.finalName);
        if (!o.failure.isNull()) {
            allThere = false;
            rec.problems << QStringLiteral("\"%1\": %2").arg(e.oldName, o.failure);
        } else if (o.finalName != e.oldName) {
            rec.moved << QStringLiteral("\"%1\" → \"%2\"").arg(e.oldName, o.finalName);
        }
    }
    if (!plan->newFolderName.isNull() && allThere) {
        const QFileInfo info(folder);
        if (info.fileName() == plan->oldFolderName) {
            const QString to = info.path() + QLatin1Char('/') + plan->newFolderName;
            SaveSteps::step("rename-folder");
            const MoveResult r = moveWithoutReplacing(folder, to);
            if (r.ok()) {
                syncFolder(info.path());
                rec.folder = to;
                rec.moved << QStringLiteral("the folder \"%1\" → \"%2\"")
                                 .arg(plan->oldFolderName, plan->newFolderName);
            } else {
                rec.problems << QStringLiteral("The folder could not be renamed to \"%1\": %2.")
                                    .arg(plan->newFolderName,
                                         r.code == MoveResult::Code::TargetExists
                                             ? QStringLiteral("that name is taken")
                                             : r.error);
            }
        }
    }
    if (!remove(rec.folder, &error)) rec.problems << error;
    return rec;
}

RenameJournal::Run RenameJournal::run(const QString& folder, const RenamePlan& plan,
                                      const std::function<bool()>& stop,
                                      const std::function<QString(bool)>& afterMoves) {
    Run result;
    result.folder = folder;
    if (plan.files.isEmpty()) {
        if (afterMoves) result.folder = afterMoves(true);
        return result;
    }
    QString error;
    if (!write(folder, plan, &error)) {
        result.outcomes.resize(size_t(plan.files.size()));
        for (qsizetype i = 0; i < plan.files.size(); ++i)
            result.outcomes[size_t(i)] = {plan.files[i].oldName,
                                          QStringLiteral("It was not renamed: the rename journal "
                                                         "could not be written (%1).")
                                              .arg(error)};
        remove(folder, nullptr);
        return result;
    }
    result.outcomes = carryOut(folder, plan, Direction::Forward, stop, &result.stopped);
    if (result.stopped) {
        // Stopped half-way: every file goes back to the name it had, so the
        // folder holds no temporary name and no half-applied naming.
        result.outcomes = carryOut(folder, plan, Direction::Back);
        for (RenameOutcome& o : result.outcomes)
            if (o.failure.isNull())
                o.failure = QStringLiteral("The save was stopped before the file was renamed.");
    }
    bool allMoved = !result.stopped;
    for (const RenameOutcome& o : result.outcomes)
        allMoved = allMoved && o.failure.isNull();
    if (afterMoves) result.folder = afterMoves(allMoved);
    if (!remove(result.folder, &error)) TROVIX_LOG() << "Could not remove the journal:" << error;
    return result;
}

QString RenameJournal::describe(const QStringList& restored, const Recovery& renames) {
    if (restored.isEmpty() && !renames.found) return QString();
    QStringList parts;
    parts << QStringLiteral("An earlier save of this folder was interrupted.");
    if (!restored.isEmpty())
        parts << QStringLiteral("Restored: %1.").arg(restored.join(QStringLiteral(", ")));
    if (renames.found)
        parts << (renames.moved.isEmpty() ? QStringLiteral("Its renames were already complete.")
                                          : QStringLiteral("Its renames were finished: %1.")
                                                .arg(renames.moved.join(QStringLiteral(", "))));
    if (!renames.problems.isEmpty())
        parts << QStringLiteral("Not finished: %1").arg(renames.problems.join(QLatin1Char(' ')));
    return parts.join(QLatin1Char(' '));
}
