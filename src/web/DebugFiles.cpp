#include "web/DebugFiles.h"

#include "system/Durable.h"
#include "web/WebLimits.h"

#include <QFile>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <utility>
#include <vector>

std::atomic<int> gDebugFileNum{0};

namespace {

QMutex gFolderMutex;
QString gFolder;
std::atomic<bool> gEnabled{false};

// The dumps of one folder, oldest first, with their sizes: what the folder
// cap is kept with. Read from the folder at the first write, then kept up
// to date by the writes themselves.
struct DumpLedger {
    QByteArray folder;
    bool read = false;
    std::deque<std::pair<QByteArray, qint64>> dumps;
    qint64 total = 0;
    DebugFileLimits limits{WebLimits::kMaxDumpBytes, WebLimits::kMaxDumpFolderBytes};
};

QMutex gLedgerMutex;
DumpLedger gLedger;

bool ownedRegular(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

// Opens the dump for writing without ever following a link or touching
// someone else's file; -1 when the name must be left alone.
int openDumpFile(const QByteArray& path) {
    // O_NONBLOCK keeps a planted FIFO from blocking us; it is harmless on a
    // regular file.
    int fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || !ownedRegular(st) || ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return -1;
        }
        ::fchmod(fd, 0600);
        return fd;
    }
    if (errno != ENOENT) return -1; // ELOOP for a link, EACCES, ENXIO for a FIFO, ...
    // O_EXCL: if someone plants the name in between, we lose the race safely.
    return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// Calls `visit` with the folder's descriptor, the name and the status of each
// "Trovix*" entry that is a regular file of the current user.
template <typename Visit> void forEachDump(const QByteArray& folder, Visit visit) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (struct dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "Trovix", 6) != 0) continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !ownedRegular(st))
            continue;
        visit(dirFd, entry->d_name, st);
    }
    ::closedir(dir);
}

// The current user's regular "Trovix*" files of the folder, oldest first.
void readLedger(DumpLedger& ledger) {
    ledger.dumps.clear();
    ledger.total = 0;
    ledger.read = true;
    struct Found {
        timespec modified;
        QByteArray name;
        qint64 size;
    };
    std::vector<Found> found;
    forEachDump(ledger.folder, [&found](int, const char* name, const struct stat& st) {
        found.push_back({st.st_mtim, QByteArray(name), qint64(st.st_size)});
    });
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.modified.tv_sec != b.modified.tv_sec) return a.modified.tv_sec < b.modified.tv_sec;
        if (a.modified.tv_nsec != b.modified.tv_nsec)
            return a.modified.tv_nsec < b.modified.tv_nsec;
        return a.name < b.name;
    });
    for (const Found& f : found) {
        ledger.dumps.emplace_back(f.name, f.size);
        ledger.total += f.size;
    }
}

void forget(DumpLedger& ledger, const QByteArray& name) {
    for (auto it = ledger.dumps.begin(); it != ledger.dumps.end(); ++it) {
        if (it->first != name) continue;
        ledger.total -= it->second;
        ledger.dumps.erase(it);
        return;
    }
}

// Removes the oldest dumps until `incoming` more bytes fit the folder cap.
void makeRoom(DumpLedger& ledger, qint64 incoming) {
    while (!ledger.dumps.empty() && ledger.total + incoming > ledger.limits.folderBytes) {
        const auto [name, size] = ledger.dumps.front();
        ledger.dumps.pop_front();
        ledger.total -= size;
        const QByteArray path = ledger.folder + '/' + name;
        struct stat st;
        // Should the name be swapped for a link meanwhile, unlink removes the
        // link itself, never its target.
        if (::lstat(path.constData(), &st) == 0 && ownedRegular(st)) ::unlink(path.constData());
    }
}

} // namespace

QString DebugFileFolder() {
    {
        QMutexLocker guard(&gFolderMutex);
        if (!gFolder.isEmpty()) return gFolder;
    }
    const QString env = qEnvironmentVariable("TROVIX_DEBUG_DIR");
    return env.isEmpty() ? QStringLiteral("/tmp") : env;
}

void SetDebugFileFolder(const QString& folder) {
    {
        QMutexLocker guard(&gFolderMutex);
        gFolder = folder;
    }
    QMutexLocker guard(&gLedgerMutex);
    gLedger.read = false;
}

bool DebugFilesEnabled() {
    return gEnabled.load() || !qEnvironmentVariableIsEmpty("TROVIX_DEBUG_DIR");
}

void SetDebugFilesEnabled(bool enabled) {
    gEnabled.store(enabled);
}

DebugFileLimits CurrentDebugFileLimits() {
    QMutexLocker guard(&gLedgerMutex);
    return gLedger.limits;
}

void SetDebugFileLimits(const DebugFileLimits& limits) {
    QMutexLocker guard(&gLedgerMutex);
    gLedger.limits = limits;
}

int WriteDebugFile(const char* pattern, const QByteArray& bytes) {
    if (!pattern || !DebugFilesEnabled()) return -1;
    const int number = gDebugFileNum.fetch_add(1);
    const char* slash = std::strrchr(pattern, '/');
    QByteArray name(slash ? slash + 1 : pattern);
    // Only "%d" is meant; anything else in a pattern is taken literally.
    name.replace("%d", QByteArray::number(number));
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) return -1;
    const QByteArray folder = QFile::encodeName(DebugFileFolder());
    const QByteArray path = folder + '/' + name;

    // One writer at a time, so the ledger stays true to the folder.
    QMutexLocker guard(&gLedgerMutex);
    DumpLedger& ledger = gLedger;
    if (!ledger.read || ledger.folder != folder) {
        ledger.folder = folder;
        readLedger(ledger);
    }
    const qint64 size =
        std::min<qint64>(bytes.size(), std::max<qint64>(0, ledger.limits.fileBytes));
    if (size > ledger.limits.folderBytes) return -1;
    forget(ledger, name);
    makeRoom(ledger, size);
    const int fd = openDumpFile(path);
    if (fd < 0) return -1;
    const bool ok = Durable::writeAll(fd, bytes.constData(), size_t(size));
    ::close(fd);
    ledger.dumps.emplace_back(name, ok ? size : 0);
    ledger.total += ok ? size : 0;
    return ok ? number : -1;
}

int WriteDebugFile(const char* pattern, const QString& text) {
    if (!DebugFilesEnabled()) return -1;
    // Only the part that is kept is converted back to bytes.
    return WriteDebugFile(pattern, text.left(CurrentDebugFileLimits().fileBytes).toLatin1());
}

void CleanUpDebugFiles() {
    const QByteArray folder = QFile::encodeName(DebugFileFolder());
    {
        QMutexLocker guard(&gLedgerMutex);
        gLedger.read = false;
    }
    forEachDump(folder, [](int dirFd, const char* name, const struct stat&) {
        // Should the name be swapped for a link meanwhile, unlink removes the
        // link itself, never its target.
        ::unlinkat(dirFd, name, 0);
    });
}
