#include "system/FileSystemParams.h"

#include "system/Log.h"

#include <QFile>
#include <QMutexLocker>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {
std::unique_ptr<FileSystemParams> gFileSystemParams;
}

FileSystemParams* FileSystemParams::newFileSystemParams() {
    if (!gFileSystemParams) gFileSystemParams = std::make_unique<FileSystemParams>();
    return gFileSystemParams.get();
}

FileSystemParams* FileSystemParams::getFileSystemParams() {
    // Callers outside the application (tests, the command line) get the
    // service on first use.
    static FileSystemParams* const service = newFileSystemParams();
    return service;
}

FileSystemParams::FileSystemParams(CreateTest test)
    : fCreateTest(test ? std::move(test) : CreateTest(&FileSystemParams::createTempFileTest)) {}

FileSystemParams::FolderRecord FileSystemParams::getFileSystemParams(const QString& folderPath) {
    {
        QMutexLocker locker(&fLock);
        auto it = fSpecDict.constFind(folderPath);
        if (it != fSpecDict.constEnd()) return *it;
    }
    struct stat st;
    const bool onDevice = ::stat(QFile::encodeName(folderPath).constData(), &st) == 0;
    if (onDevice) {
        QMutexLocker locker(&fLock);
        const auto it = fByDevice.constFind(quint64(st.st_dev));
        if (it != fByDevice.constEnd()) {
            fSpecDict.insert(folderPath, *it);
            return *it;
        }
    }
    // Probe without the lock: two threads missing the same folder both probe
    // and store the same answer.
    bool measured = false;
    FolderRecord record{getMaxFileNameLength(folderPath, &measured)};
    QMutexLocker locker(&fLock);
    fSpecDict.insert(folderPath, record);
    // A folder that could not be written says nothing about its device.
    if (onDevice && measured) fByDevice.insert(quint64(st.st_dev), record);
    return record;
}

namespace {

// The longest base name the file system claims, less the ".XXX" suffix.
int declaredLimit(const QString& folderPath) {
    const long max = ::pathconf(QFile::encodeName(folderPath).constData(), _PC_NAME_MAX);
    const long name = max > 0 && max < 255 ? max : 255;
    return int(name) - 4;
}

} // namespace

int FileSystemParams::getMaxFileNameLength(const QString& folderPath, bool* measured) {
    if (measured) *measured = false;
    if (folderPath == kBogusPath) return 251;
    // Most file systems allow what they declare: the first name tried then
    // fits, and one file is made instead of a bisection's ten.
    const int declared = declaredLimit(folderPath);
    int lo = 8, hi = std::max(lo, declared), n = hi;
    for (int tries = 0; tries < 20; ++tries) {
        const int err = canGenerateTempFile(n, folderPath);
        if (err != 0 && err != ENAMETOOLONG) {
            TROVIX_LOG() << "Name-length probe in" << folderPath << "failed:" << std::strerror(err);
            return declared;
        }
        if (err == 0) {
            if (measured) *measured = true;
            if (lo == hi || n == hi) break;
            if (n + 1 == hi) {
                lo = n;
                n = hi;
            } else {
                lo = n;
                n = (n + hi) / 2;
            }
        } else {
            hi = n - 1;
            n = (n - 1 + lo) / 2;
        }
    }
    return n;
}

int FileSystemParams::canGenerateTempFile(int length, const QString& folderPath) {
    return fCreateTest(length, folderPath);
}

int FileSystemParams::createTempFileTest(int length, const QString& folderPath) {
    if (length <= 0) return ENAMETOOLONG;
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray base = QFile::encodeName(folderPath) + '/' + QByteArray(length, 'T') + '.';
    for (int attempt = 0; attempt < 16; ++attempt) {
        QByteArray name = base;
        for (int i = 0; i < 3; ++i)
            name += kChars[QRandomGenerator::global()->bounded(int(sizeof(kChars) - 1))];
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(name.constData());
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}
