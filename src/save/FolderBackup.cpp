#include "save/FolderBackup.h"

#include "system/Durable.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Paths are handled as the bytes the file system holds, so no name is ever
// reinterpreted on its way through.
using Bytes = std::string;

Bytes encode(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString decode(const Bytes& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

struct Copier {
    dev_t targetDev = 0;
    ino_t targetIno = 0;
    QString reason;

    bool fail(const Bytes& path, int err) {
        reason = QStringLiteral("\"%1\": %2").arg(decode(path), Durable::errnoText(err));
        return false;
    }

    // Lists names, "." and ".." left out, in byte order (the order ls gives
    // in the C locale).
    bool list(const Bytes& dir, std::vector<Bytes>& names) {
        DIR* d = ::opendir(dir.c_str());
        if (!d) return fail(dir, errno);
        errno = 0;
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            names.emplace_back(e->d_name);
        }
        const int err = errno;
        ::closedir(d);
        if (err) return fail(dir, err);
        std::sort(names.begin(), names.end());
        return true;
    }

    // Owner and times after the content, so writing does not change them.
    static void keepOwnerAndTimes(const Bytes& dst, const struct stat& st) {
        if (::lchown(dst.c_str(), st.st_uid, st.st_gid) != 0) {
            // Not allowed for other users' files; cp -p goes on too.
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, dst.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    bool copyFile(const Bytes& src, const Bytes& dst, const struct stat& st) {
        const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) return fail(src, errno);
        const int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            const int err = errno;
            ::close(in);
            return fail(dst, err);
        }
        std::vector<char> buffer(1 << 16);
        bool ok = true;
        int err = 0;
        Bytes where = src;
        for (;;) {
            const ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                ok = false, err = errno;
                break;
            }
            if (n == 0) break;
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(out, buffer.data() + done, size_t(n - done));
                if (w < 0) {
                    if (errno == EINTR) continue;
                    ok = false, err = errno, where = dst;
                    break;
                }
                done += w;
            }
            if (!ok) break;
        }
        ::close(in);
        if (ok && ::fchmod(out, st.st_mode & 07777) != 0) ok = false, err = errno, where = dst;
        if (::close(out) != 0 && ok) ok = false, err = errno, where = dst;
        if (!ok) {
            // A truncated copy looks like a backup and is not one.
            ::unlink(dst.c_str());
            return fail(where, err);
        }
        keepOwnerAndTimes(dst, st);
        return true;
    }

    bool copyEntry(const Bytes& src, const Bytes& dst) {
        struct stat st;
        if (::lstat(src.c_str(), &st) != 0) return fail(src, errno);
        if (S_ISDIR(st.st_mode)) {
            // Never copy the backup into itself (a music folder opened as an album).
            if (st.st_dev == targetDev && st.st_ino == targetIno) return true;
            return copyDir(src, dst, st);
        }
        if (S_ISREG(st.st_mode)) return copyFile(src, dst, st);
        if (S_ISLNK(st.st_mode)) {
            std::vector<char> link(size_t(st.st_size > 0 ? st.st_size : 4095) + 1);
            const ssize_t n = ::readlink(src.c_str(), link.data(), link.size());
            if (n < 0) return fail(src, errno);
            if (::symlink(Bytes(link.data(), size_t(n)).c_str(), dst.c_str()) != 0)
                return fail(dst, errno);
            keepOwnerAndTimes(dst, st);
            return true;
        }
        if (S_ISFIFO(st.st_mode)) {
            if (::mkfifo(dst.c_str(), st.st_mode & 07777) != 0) return fail(dst, errno);
            keepOwnerAndTimes(dst, st);
            return true;
        }
        TROVIX_LOG() << "Backup skips the special file" << decode(src);
        return true;
    }

    // Made writable for the copy, given the source's bits at the end, so a
    // read-only folder is copied too.
    bool makeDir(const Bytes& dst, const struct stat& st) {
        if (::mkdir(dst.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0) return fail(dst, errno);
        return true;
    }
    bool finishDir(const Bytes& dst, const struct stat& st) {
        if (::chmod(dst.c_str(), st.st_mode & 07777) != 0) return fail(dst, errno);
        keepOwnerAndTimes(dst, st);
        return true;
    }

    // Removes what a failed backup made; never follows a link out of it.
    static void removeTree(const Bytes& path) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return;
        if (!S_ISDIR(st.st_mode)) {
            ::unlink(path.c_str());
            return;
        }
        ::chmod(path.c_str(), S_IRWXU);
        if (DIR* d = ::opendir(path.c_str())) {
            std::vector<Bytes> names;
            while (dirent* e = ::readdir(d))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    names.emplace_back(e->d_name);
            ::closedir(d);
            for (const Bytes& name : names)
                removeTree(path + "/" + name);
        }
        ::rmdir(path.c_str());
    }

    bool copyDir(const Bytes& src, const Bytes& dst, const struct stat& st) {
        std::vector<Bytes> names;
        if (!list(src, names)) return false;
        if (!makeDir(dst, st)) return false;
        for (const Bytes& name : names)
            if (!copyEntry(src + "/" + name, dst + "/" + name)) return false;
        return finishDir(dst, st);
    }
};

} // namespace

QString FolderBackup::backupsFolder() {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) music = QDir::homePath() + QStringLiteral("/Music");
    return music + QStringLiteral("/Trovix Backups");
}

QString FolderBackup::chooseTarget(const QString& backups, const QString& folderName) {
    const QString base = backups + QLatin1Char('/') + folderName;
    QString target = base;
    struct stat st;
    for (int n = 1; ::lstat(encode(target).c_str(), &st) == 0; ++n)
        target = QStringLiteral("%1 %2").arg(base).arg(n);
    return target;
}

QString FolderBackup::chooseFileTarget(const QString& backups, const QString& fileName) {
    // A leading dot starts a name, not an extension.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString extension = dot > 0 ? fileName.mid(dot) : QString();
    QString target = backups + QLatin1Char('/') + fileName;
    struct stat st;
    for (int n = 1; ::lstat(encode(target).c_str(), &st) == 0; ++n)
        target = QStringLiteral("%1/%2 %3%4").arg(backups, stem).arg(n).arg(extension);
    return target;
}

FolderBackup::Copy FolderBackup::backupFile(const QString& file) {
    Copy result;
    const QString backups = backupsFolder();
    if (!QDir().mkpath(backups)) {
        result.target = backups;
        result.outcome =
            Outcome::failed(QStringLiteral("The folder \"%1\" could not be created.").arg(backups));
        return result;
    }
    const QString name = QDir::cleanPath(file).section(QLatin1Char('/'), -1);
    return backupFile(file, chooseFileTarget(backups, name));
}

FolderBackup::Copy FolderBackup::backupFile(const QString& file, const QString& target) {
    Copy result;
    result.target = target;
    Copier copier;
    const Bytes src = encode(file);
    struct stat st;
    if (::stat(src.c_str(), &st) != 0) {
        copier.fail(src, errno);
        result.outcome = Outcome::failed(copier.reason);
        return result;
    }
    // Like cp -p, a link is followed; anything but a plain file (a pipe
    // would block the read) is refused.
    if (!S_ISREG(st.st_mode)) {
        result.outcome = Outcome::failed(QStringLiteral("\"%1\" is not a regular file.").arg(file));
        return result;
    }
    if (!copier.copyFile(src, encode(target), st)) {
        result.outcome = Outcome::failed(copier.reason);
        return result;
    }
    result.outcome = Outcome::done();
    return result;
}

FolderBackup::Copy FolderBackup::backupFolder(const QString& folder, ProgressIndicator* progress) {
    Copy result;
    const QString backups = backupsFolder();
    if (!QDir().mkpath(backups)) {
        result.target = backups;
        result.outcome =
            Outcome::failed(QStringLiteral("The folder \"%1\" could not be created.").arg(backups));
        return result;
    }
    QString name = QDir::cleanPath(folder).section(QLatin1Char('/'), -1);
    if (name.isEmpty()) name = QStringLiteral("Root");
    return backupFolder(folder, chooseTarget(backups, name), progress);
}

FolderBackup::Copy FolderBackup::backupFolder(const QString& source, const QString& target,
                                              ProgressIndicator* progress) {
    Copy result;
    result.target = target;
    Copier copier;
    const Bytes src = encode(source);
    const Bytes dst = encode(target);

    struct stat st;
    if (::stat(src.c_str(), &st) != 0) {
        copier.fail(src, errno);
        result.outcome = Outcome::failed(copier.reason);
        return result;
    }
    std::vector<Bytes> names;
    if (!copier.list(src, names)) {
        result.outcome = Outcome::failed(copier.reason);
        return result;
    }
    if (names.empty()) {
        result.outcome = Outcome::nothing();
        return result;
    }
    if (!copier.makeDir(dst, st)) {
        result.outcome = Outcome::failed(copier.reason);
        return result;
    }
    struct stat made;
    if (::stat(dst.c_str(), &made) == 0)
        copier.targetDev = made.st_dev, copier.targetIno = made.st_ino;

    const int e = int(names.size());
    if (progress) {
        progress->NotifyBeginDet(QStringLiteral("Backing up files to Music folder..."), 0, e + 1,
                                 false);
        progress->NotifyBump(1);
    }
    for (const Bytes& name : names) {
        if (!copier.copyEntry(src + "/" + name, dst + "/" + name)) {
            result.outcome = Outcome::failed(copier.reason);
            Copier::removeTree(dst);
            return result;
        }
        if (progress) progress->NotifyBump(1);
    }
    if (!copier.finishDir(dst, st)) {
        result.outcome = Outcome::failed(copier.reason);
        Copier::removeTree(dst);
        return result;
    }
    if (progress) progress->NotifyBump(1);
    result.outcome = Outcome::done();
    return result;
}
