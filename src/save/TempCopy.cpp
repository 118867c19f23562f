#include "save/TempCopy.h"

#include "system/Durable.h"
#include "system/FolderHandle.h"
#include "system/Log.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr const char kMarker[] = ".trovix-";
constexpr const char kTempSuffix[] = ".tmp";
constexpr int kNameMax = 255;

// Attributes the kernel or a security module manages: the copy gets its
// own, and failing to copy them takes nothing from the user.
bool managedAttribute(const char* name) {
    return std::strncmp(name, "security.", 9) == 0 || std::strncmp(name, "trusted.", 8) == 0;
}

Outcome copyAttributes(int from, int to) {
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0) // ENOTSUP: a file system without them
        return errno == ENOTSUP ? Outcome::done() : Outcome::failed(Durable::errnoText(errno));
    QByteArray names(qsizetype(size), '\0');
    size = ::flistxattr(from, names.data(), size_t(names.size()));
    if (size < 0) return Outcome::failed(Durable::errnoText(errno));
    QByteArray value;
    for (const char* name = names.constData(); name < names.constData() + size;
         name += std::strlen(name) + 1) {
        ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        bool ok = length >= 0;
        if (ok) {
            value.resize(qsizetype(length));
            length = ::fgetxattr(from, name, value.data(), size_t(value.size()));
            ok = length >= 0 && ::fsetxattr(to, name, value.constData(), size_t(length), 0) == 0;
        }
        if (ok) continue;
        if (managedAttribute(name)) {
            TROVIX_LOG() << "The attribute" << name
                         << "was not copied:" << Durable::errnoText(errno);
            continue;
        }
        return Outcome::failed(
            QStringLiteral("%1 (%2)").arg(QString::fromUtf8(name), Durable::errnoText(errno)));
    }
    return Outcome::done();
}

} // namespace

TempCopy::~TempCopy() {
    discard();
}

QString TempCopy::path() const {
    return QFile::decodeName(fPath);
}

QByteArray TempCopy::nameFor(const QByteArray& fileName, long pid) {
    const QByteArray tail = kMarker + QByteArray::number(qlonglong(pid)) + kTempSuffix;
    QByteArray name = fileName;
    const qsizetype room = kNameMax - 1 - tail.size();
    if (name.size() > room) {
        name.truncate(room);
        // Not inside a UTF-8 sequence.
        while (!name.isEmpty() && (uchar(name.back()) & 0xC0) == 0x80)
            name.chop(1);
        if (!name.isEmpty() && uchar(name.back()) >= 0xC0) name.chop(1);
    }
    return '.' + name + tail;
}

long TempCopy::ownerOf(const QByteArray& name, QByteArray* fileName) {
    if (!name.startsWith('.') || !name.endsWith(kTempSuffix)) return 0;
    const qsizetype marker = name.lastIndexOf(kMarker);
    if (marker < 1) return 0;
    const qsizetype digits = marker + qsizetype(sizeof kMarker - 1);
    const QByteArray number =
        name.mid(digits, name.size() - qsizetype(sizeof kTempSuffix - 1) - digits);
    if (number.isEmpty()) return 0;
    for (char c : number)
        if (c < '0' || c > '9') return 0;
    bool ok = false;
    const long pid = long(number.toLongLong(&ok));
    if (!ok || pid <= 0) return 0;
    if (fileName) *fileName = name.mid(1, marker - 1);
    return pid;
}

Outcome TempCopy::create(const QString& folder, const QString& fileName) {
    const QByteArray name = nameFor(QFile::encodeName(fileName), long(::getpid()));
    fPath = QFile::encodeName(folder) + '/' + name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        fFd = ::open(fPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fFd >= 0) return Outcome::done();
        // Our own name: a copy left by an earlier process that had our pid.
        if (errno != EEXIST || ::unlink(fPath.constData()) != 0) break;
    }
    const int err = errno;
    fPath.clear();
    return Outcome::failed(QStringLiteral("A new copy of “%1” could not be made in its folder: %2.")
                               .arg(fileName, Durable::errnoText(err)));
}

Outcome TempCopy::keepMetadataOf(int original, const struct stat& st) {
    // Before the mode: a change of owner clears the set-user-ID bits.
    if (::fchown(fFd, st.st_uid, st.st_gid) != 0) {
        if (st.st_uid != ::geteuid())
            return Outcome::failed(
                QStringLiteral("a new copy would belong to you instead of its owner"));
        // Our own file in a group we are not in: it takes our group.
        TROVIX_LOG() << "The group of" << fPath
                     << "could not be kept:" << Durable::errnoText(errno);
    }
    if (::fchmod(fFd, st.st_mode & 07777) != 0)
        return Outcome::failed(QStringLiteral("its permissions could not be kept (%1)")
                                   .arg(Durable::errnoText(errno)));
    const Outcome attributes = copyAttributes(original, fFd);
    if (!attributes.ok())
        return Outcome::failed(
            QStringLiteral("its extended attributes could not be kept: %1").arg(attributes.reason));
    // The content changes, so the modification time is now, as after an
    // in-place save; the last access stays what it was.
    const struct timespec times[2] = {st.st_atim, {0, UTIME_NOW}};
    ::futimens(fFd, times);
    return Outcome::done();
}

Outcome TempCopy::close() {
    if (fFd < 0) return Outcome::done();
    const int fd = fFd;
    fFd = -1;
    if (::close(fd) != 0) return Outcome::failed(Durable::errnoText(errno));
    return Outcome::done();
}

Outcome TempCopy::replace(const QString& target) {
    if (::rename(fPath.constData(), QFile::encodeName(target).constData()) != 0)
        return Outcome::failed(Durable::errnoText(errno));
    fReplaced = true;
    return Outcome::done();
}

void TempCopy::discard() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
    if (!fPath.isEmpty() && !fReplaced) ::unlink(fPath.constData());
    fPath.clear();
}

QStringList TempCopy::removeOrphans(const FolderHandle& folder) {
    QStringList removed;
    for (const QByteArray& name : folder.names()) {
        QByteArray fileName;
        const long pid = ownerOf(name, &fileName);
        // A process of another user answers EPERM: it is alive.
        if (pid == 0 || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (!folder.statAt(name, &st) || !S_ISREG(st.st_mode)) continue;
        if (folder.remove(name)) {
            TROVIX_LOG() << "Removed the unfinished copy" << QFile::decodeName(name);
            removed << QFile::decodeName(fileName);
        }
    }
    return removed;
}
