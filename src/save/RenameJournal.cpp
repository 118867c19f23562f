#include "save/RenameJournal.h"

#include "media/FileIO.h"
#include "model/AudioTrack.h"
#include "system/Durable.h"
#include "system/Log.h"
#include "system/MoveFile.h"
#include "system/SaveSteps.h"

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

QByteArray native(const QString& name) {
    return QFile::encodeName(name);
}

// Which of the entry's names holds its file now; null when none does. Only
// a regular file that is the one recorded counts.
QString locate(const FolderHandle& folder, const RenameEntry& e) {
    for (const QString& name : {e.oldName, e.tempName, e.newName}) {
        struct stat st;
        if (!name.isEmpty() && folder.statAt(native(name), &st) && S_ISREG(st.st_mode) &&
            st.st_dev == e.device && st.st_ino == e.inode)
            return name;
    }
    return QString();
}

QJsonObject toJson(const FolderHandle& folder, const RenamePlan& plan) {
    QJsonArray files;
    for (const RenameEntry& e : plan.files)
        files.append(QJsonObject{{"old", e.oldName},
                                 {"temp", e.tempName},
                                 {"new", e.newName},
                                 {"dev", QString::number(quint64(e.device))},
                                 {"ino", QString::number(quint64(e.inode))}});
    QJsonObject self{{"dev", QString::number(quint64(folder.device()))},
                     {"ino", QString::number(quint64(folder.inode()))}};
    if (!plan.newFolderName.isNull()) {
        self.insert("old", plan.oldFolderName);
        self.insert("new", plan.newFolderName);
    }
    return QJsonObject{{"version", 2}, {"files", files}, {"folder", self}};
}

// A name a journal may send a file to: plain, in the folder, and none of the
// names saves keep for themselves.
bool fileName(const QString& name) {
    const QByteArray bytes = native(name);
    return FolderHandle::isPlainName(bytes) && !FolderHandle::isReservedName(bytes) &&
           QFile::decodeName(bytes) == name;
}

// Device and inode numbers are written as decimal text: JSON numbers would
// lose the high bits of a 64-bit inode.
bool number(const QJsonValue& v, quint64* out) {
    bool ok = false;
    *out = v.toString().toULongLong(&ok);
    return ok;
}

} // namespace

Outcome RenameJournal::write(const FolderHandle& folder, const RenamePlan& plan) {
    const QByteArray data = QJsonDocument(toJson(folder, plan)).toJson(QJsonDocument::Compact);
    const QByteArray temp = native(kFileName + QStringLiteral(".%1").arg(::getpid()));
    const QByteArray target = native(kFileName);
    SaveSteps::step("journal-write");
    folder.remove(temp); // left by an earlier process with our pid
    const int fd = folder.createFile(temp, O_WRONLY, 0600);
    if (fd < 0) return Outcome::failed(Durable::errnoText(errno));
    const bool ok =
        Durable::writeAll(fd, data.constData(), size_t(data.size())) && ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!ok) {
        folder.remove(temp);
        return Outcome::failed(Durable::errnoText(err));
    }
    SaveSteps::step("journal-commit");
    if (::renameat(folder.fd(), temp.constData(), folder.fd(), target.constData()) != 0) {
        const int e = errno;
        folder.remove(temp);
        return Outcome::failed(Durable::errnoText(e));
    }
    if (!folder.sync()) return Outcome::failed(Durable::errnoText(errno));
    return Outcome::done();
}

RenameJournal::Read RenameJournal::read(const FolderHandle& folder) {
    struct stat st {};
    const int fd = folder.openFile(native(kFileName), O_RDONLY, &st);
    if (fd < 0) return {{}, Outcome::failed(FolderHandle::whyNot(errno))};
    const FileIO::ClosedAtExit closer{fd};
    if (st.st_size > kLargest)
        return {{}, Outcome::failed(QStringLiteral("it is larger than any save could make"))};
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    if (!FileIO::readAt(fd, bytes.data(), size_t(bytes.size()), 0))
        return {{}, Outcome::failed(Durable::errnoText(errno))};
    return parse(bytes);
}

RenameJournal::Read RenameJournal::parse(const QByteArray& bytes) {
    const auto refuse = [](const QString& why) -> Read { return {{}, Outcome::failed(why)}; };
    if (bytes.size() > kLargest)
        return refuse(QStringLiteral("it is larger than any save could make"));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    const QJsonObject o = doc.object();
    const int version = o.value("version").toInt();
    if (parseError.error != QJsonParseError::NoError || (version != 1 && version != 2))
        return refuse(QStringLiteral("it cannot be read"));
    RenamePlan plan;
    for (const QJsonValue& v : o.value("files").toArray()) {
        const QJsonObject f = v.toObject();
        RenameEntry e;
        e.oldName = f.value("old").toString();
        e.tempName = f.value("temp").toString();
        e.newName = f.value("new").toString();
        quint64 device = 0, inode = 0;
        // Plain names only: a journal never sends a file out of its folder,
        // nor onto a name a save keeps for itself (the next opening would
        // take it for a leftover and remove it).
        if (!number(f.value("dev"), &device) || !number(f.value("ino"), &inode) ||
            !fileName(e.oldName) || !fileName(e.newName) ||
            !AudioTrack::isTempFileName(e.tempName) ||
            !FolderHandle::isPlainName(native(e.tempName)))
            return refuse(QStringLiteral("it names a file it may not"));
        e.device = dev_t(device);
        e.inode = ino_t(inode);
        plan.files << e;
    }
    const QJsonObject f = o.value("folder").toObject();
    quint64 device = 0, inode = 0;
    if (version >= 2 && number(f.value("dev"), &device) && number(f.value("ino"), &inode)) {
        plan.folderDevice = dev_t(device);
        plan.folderInode = ino_t(inode);
    }
    if (f.contains("new")) {
        plan.oldFolderName = f.value("old").toString();
        plan.newFolderName = f.value("new").toString();
    }
    return {plan, Outcome::done()};
}

Outcome RenameJournal::remove(const FolderHandle& folder) {
    SaveSteps::step("journal-remove");
    if (!folder.remove(native(kFileName)) && errno != ENOENT)
        return Outcome::failed(Durable::errnoText(errno));
    folder.sync();
    return Outcome::done();
}

std::vector<RenamedFile> RenameJournal::carryOut(const FolderHandle& folder,
                                                   const RenamePlan& plan, Direction direction,
                                                   const std::function<bool()>& stop,
                                                   bool* stopped) {
    const auto target = [direction](const RenameEntry& e) {
        return direction == Direction::Forward ? e.newName : e.oldName;
    };
    const auto other = [direction](const RenameEntry& e) {
        return direction == Direction::Forward ? e.oldName : e.newName;
    };
    const auto move = [&folder](const QString& from, const QString& to) {
        return folder.move(native(from), native(to));
    };
    const auto askStop = [&] {
        if (!stop || !stop()) return false;
        if (stopped) *stopped = true;
        return true;
    };
    if (stopped) *stopped = false;

    std::vector<RenamedFile> out(size_t(plan.files.size()));
    std::vector<QString> where(size_t(plan.files.size()));
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        where[size_t(i)] = locate(folder, plan.files[i]);
        out[size_t(i)].finalName = where[size_t(i)];
        out[size_t(i)].outcome = where[size_t(i)].isNull()
                                     ? Outcome::failed(QStringLiteral(
                                           "The file is no longer in the folder."))
                                     : Outcome::done();
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
            if (move(at, target(e)).ok()) {
                held.remove(at);
                at = target(e);
                held.insert(at);
                out[size_t(i)].finalName = at;
                continue;
            }
        }
        SaveSteps::step("rename-temp");
        const Outcome r = move(at, e.tempName);
        if (r.ok()) {
            held.remove(at);
            at = e.tempName;
            held.insert(at);
        } else {
            out[size_t(i)].outcome = Outcome::failed(
                QStringLiteral("It could not be given a temporary name: %1.")
                    .arg(r.code == Outcome::Code::Exists ? QStringLiteral("the name is taken")
                                                         : r.reason));
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
        const Outcome r = move(at, target(e));
        if (r.ok()) {
            at = target(e);
        } else {
            const QString why =
                r.code == Outcome::Code::Exists
                    ? QStringLiteral("a file named \"%1\" appeared meanwhile").arg(target(e))
                    : r.reason;
            // Never leave a temporary name: the other name, if it is free.
            SaveSteps::step("rename-final");
            if (move(at, other(e)).ok()) at = other(e);
            out[size_t(i)].outcome = Outcome::failed(
                QStringLiteral("It could not be renamed to \"%1\": %2. It is named \"%3\".")
                    .arg(target(e), why, at));
        }
        out[size_t(i)].finalName = at;
    }
    if (!folder.sync())
        TROVIX_LOG() << "Could not sync a folder after renames:" << Durable::errnoText(errno);
    return out;
}

namespace {

// Why the folder may not take the name an interrupted plan gives it; null
// when it may.
QString whyNotRenamed(const FolderHandle& folder, const RenamePlan& plan,
                      const std::vector<RenamedFile>& outcomes) {
    bool allThere = true, anyRecorded = false;
    for (const RenamedFile& o : outcomes) {
        allThere = allThere && o.outcome.ok();
        anyRecorded = anyRecorded || !o.finalName.isNull();
    }
    const QByteArray name = native(plan.newFolderName);
    if (!allThere) return QStringLiteral("not every file reached its name");
    // An interrupted save moved files; a journal that names none of the
    // folder's files was not left by a save of this folder.
    if (!anyRecorded) return QStringLiteral("the journal names none of the folder's files");
    if (!folder.is(plan.folderDevice, plan.folderInode))
        return QStringLiteral("the journal was not written in this folder");
    if (!FolderHandle::isPlainName(name) || name.startsWith('.') ||
        FolderHandle::isReservedName(name) || QFile::decodeName(name) != plan.newFolderName)
        return QStringLiteral("that is not a name a save gives a folder");
    return QString();
}

} // namespace

RenameJournal::Recovery RenameJournal::finish(const FolderHandle& folder, const QString& path,
                                              Scope scope) {
    Recovery rec;
    rec.folder = path;
    // Half-written journals of a save that died before committing one; the
    // caller's lock says no living save owns them.
    const QByteArray prefix = native(kFileName) + '.';
    for (const QByteArray& name : folder.names()) {
        struct stat st;
        if (name.startsWith(prefix) && folder.statAt(name, &st) && S_ISREG(st.st_mode))
            folder.remove(name);
    }
    struct stat st;
    if (!folder.statAt(native(kFileName), &st)) return rec;
    rec.found = true;
    const Read journal = read(folder);
    if (!journal.outcome.ok()) {
        rec.refused = true;
        rec.problems << QStringLiteral("The rename journal was not used (%1); it was left in "
                                       "place.")
                            .arg(journal.outcome.reason);
        return rec;
    }
    const RenamePlan& plan = journal.plan;
    const std::vector<RenamedFile> outcomes = carryOut(folder, plan, Direction::Forward);
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        const RenameEntry& e = plan.files[i];
        const RenamedFile& o = outcomes[size_t(i)];
        rec.names.insert(e.oldName, o.finalName);
        rec.names.insert(e.tempName, o.finalName);
        if (!o.outcome.ok())
            rec.problems << QStringLiteral("\"%1\": %2").arg(e.oldName, o.outcome.reason);
        else if (o.finalName != e.oldName)
            rec.moved << QStringLiteral("\"%1\" → \"%2\"").arg(e.oldName, o.finalName);
    }
    const QFileInfo info(path);
    // Once renamed, the folder's name is no longer the plan's old one.
    bool keep = false;
    if (!plan.newFolderName.isNull() && info.fileName() == plan.oldFolderName) {
        const QString why = whyNotRenamed(folder, plan, outcomes);
        FolderHandle parent;
        struct stat self {};
        const QByteArray from = native(info.fileName()), to = native(plan.newFolderName);
        // Not done unless moved below.
        Outcome r = Outcome::nothing();
        if (why.isNull() && scope == Scope::Folder) {
            // The folder is renamed in its parent only while that name is
            // still this folder.
            SaveSteps::step("rename-folder");
            if (!parent.open(info.path()) || !parent.statAt(from, &self) ||
                !folder.is(self.st_dev, self.st_ino))
                r = Outcome::failed(QStringLiteral("the folder moved meanwhile"));
            else
                r = parent.move(from, to);
        }
        if (r.ok()) {
            parent.sync();
            rec.folder = info.path() + QLatin1Char('/') + plan.newFolderName;
            rec.moved << QStringLiteral("the folder \"%1\" → \"%2\"")
                             .arg(plan.oldFolderName, plan.newFolderName);
        } else if (why.isNull() && scope == Scope::SingleFile) {
            // The folder's own opening finishes it.
            keep = true;
            rec.problems << QStringLiteral("The folder was not renamed to \"%1\": open the folder "
                                           "to finish its save.")
                                .arg(plan.newFolderName);
        } else {
            rec.refused = rec.refused || !why.isNull();
            rec.problems << QStringLiteral("The folder was not renamed to \"%1\": %2.")
                                .arg(plan.newFolderName, !why.isNull() ? why
                                                          : r.code == Outcome::Code::Exists
                                                              ? QStringLiteral("that name is taken")
                                                              : r.reason);
        }
    }
    if (!keep) {
        const Outcome removed = remove(folder);
        if (!removed.ok()) rec.problems << removed.reason;
    }
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
    // One descriptor for the whole phase: it follows the folder through
    // its rename, so the journal is removed from wherever the folder is.
    FolderHandle handle;
    const Outcome written = handle.open(QFileInfo(folder).canonicalFilePath())
                                ? write(handle, plan)
                                : Outcome::failed(Durable::errnoText(errno));
    if (!written.ok()) {
        result.outcomes.resize(size_t(plan.files.size()));
        for (qsizetype i = 0; i < plan.files.size(); ++i)
            result.outcomes[size_t(i)] = {
                plan.files[i].oldName,
                Outcome::failed(QStringLiteral("It was not renamed: the rename journal could not "
                                               "be written (%1).")
                                    .arg(written.reason))};
        if (handle.isOpen()) remove(handle);
        return result;
    }
    result.outcomes = carryOut(handle, plan, Direction::Forward, stop, &result.stopped);
    if (result.stopped) {
        // Stopped half-way: every file goes back to the name it had, so the
        // folder holds no temporary name and no half-applied naming.
        result.outcomes = carryOut(handle, plan, Direction::Back);
        for (RenamedFile& o : result.outcomes)
            if (o.outcome.ok())
                o.outcome = Outcome::failed(
                    QStringLiteral("The save was stopped before the file was renamed."));
    }
    bool allMoved = !result.stopped;
    for (const RenamedFile& o : result.outcomes)
        allMoved = allMoved && o.outcome.ok();
    if (afterMoves) result.folder = afterMoves(allMoved);
    const Outcome removed = remove(handle);
    if (!removed.ok()) TROVIX_LOG() << "Could not remove the journal:" << removed.reason;
    return result;
}
