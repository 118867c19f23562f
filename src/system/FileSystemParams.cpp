#include "system/FileSystemParams.h"

#include <QFile>
#include <QMutexLocker>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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
    // Probe without the lock: two threads missing the same folder both probe
    // and store the same answer.
    FolderRecord record{getMaxFileNameLength(folderPath)};
    QMutexLocker locker(&fLock);
    fSpecDict.insert(folderPath, record);
    return record;
}

int FileSystemParams::getMaxFileNameLength(const QString& folderPath) {
    if (folderPath == kBogusPath) return 251;
    int lo = 8, hi = 252, n = 252;
    for (int tries = 0; tries < 20; ++tries) {
        if (canGenerateTempFile(n, folderPath)) {
            if (lo == hi) break;
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

bool FileSystemParams::canGenerateTempFile(int length, const QString& folderPath) {
    return fCreateTest(length, folderPath);
}

bool FileSystemParams::createTempFileTest(int length, const QString& folderPath) {
    if (length <= 0) return false;
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
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}
