#include "system/MoveFile.h"

#include "system/Durable.h"

#include <QFile>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

Outcome failed(int err) {
    return Outcome::failed(Durable::errnoText(err));
}

// Errors that mean "this file system (or kernel) cannot do it", not "no".
bool unsupported(int err) {
    return err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP;
}

} // namespace

bool pathExists(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

Outcome moveWithoutReplacing(const QString& from, const QString& to) {
    return moveWithoutReplacingAt(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                                  QFile::encodeName(to).constData());
}

Outcome moveWithoutReplacingAt(int fromFolder, const char* src, int toFolder, const char* dst) {
    if (::renameat2(fromFolder, src, toFolder, dst, RENAME_NOREPLACE) == 0)
        return Outcome::done();
    int err = errno;
    if (err == EEXIST) return Outcome::exists();
    if (!unsupported(err)) return failed(err);

    // link() never replaces an existing name.
    if (::linkat(fromFolder, src, toFolder, dst, 0) == 0) {
        if (::unlinkat(fromFolder, src, 0) == 0) return Outcome::done();
        err = errno;
        ::unlinkat(toFolder, dst, 0); // back to one name: the old one
        return failed(err);
    }
    err = errno;
    if (err == EEXIST) return Outcome::exists();
    if (err != EPERM && !unsupported(err)) return failed(err);

    // No hard links either (some network shares): the narrowest check we have.
    struct stat st;
    if (::fstatat(toFolder, dst, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return Outcome::exists();
    if (::renameat(fromFolder, src, toFolder, dst) == 0) return Outcome::done();
    return failed(errno);
}
