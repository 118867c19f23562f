#include "system/MoveFile.h"

#include <QFile>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

MoveResult failed(int err) {
    return {MoveResult::Code::Failed, QString::fromLocal8Bit(std::strerror(err))};
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

MoveResult moveWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);

    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return {MoveResult::Code::Moved, {}};
    int err = errno;
    if (err == EEXIST) return {MoveResult::Code::TargetExists, {}};
    if (!unsupported(err)) return failed(err);

    // link() never replaces an existing name.
    if (::link(src.constData(), dst.constData()) == 0) {
        if (::unlink(src.constData()) == 0) return {MoveResult::Code::Moved, {}};
        err = errno;
        ::unlink(dst.constData()); // back to one name: the old one
        return failed(err);
    }
    err = errno;
    if (err == EEXIST) return {MoveResult::Code::TargetExists, {}};
    if (err != EPERM && !unsupported(err)) return failed(err);

    // No hard links either (some network shares): the narrowest check we have.
    if (pathExists(to)) return {MoveResult::Code::TargetExists, {}};
    if (::rename(src.constData(), dst.constData()) == 0) return {MoveResult::Code::Moved, {}};
    return failed(errno);
}
