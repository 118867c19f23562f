#include "library/LibraryWalk.h"

#include "media/MusicFile.h"
#include "system/WorkSharing.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Listing {
    QStringList musicFiles; // names
    QStringList folders;    // names of subfolders that are not hidden or links
};

// Straight from the directory: its entry types spare a stat per name.
Listing list(const QString& folder) {
    Listing l;
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) return l;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray raw(e->d_name);
        if (raw == "." || raw == "..") continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        const QString name = QFile::decodeName(raw);
        // Links to folders are not followed (they may loop); hidden folders
        // are not music.
        if (type == DT_DIR && !name.startsWith(u'.'))
            l.folders << name;
        else if ((type == DT_REG || type == DT_LNK) && MusicFile::isMusicFileName(name))
            l.musicFiles << name;
    }
    ::closedir(dir);
    l.folders.sort();
    l.musicFiles.sort();
    return l;
}

void appendNumber(QByteArray& to, qint64 n) {
    char digits[24];
    to.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
}

// Adds what `folder` itself holds to `out` and returns the subfolders to
// walk on.
QStringList visit(const QString& folder, QList<LibraryWalk::Entry>& out) {
    const Listing here = list(folder);
    if (!here.musicFiles.isEmpty()) out.append({folder, {folder}, {here.musicFiles}});

    // A folder without music of its own whose subfolders are all discs
    // holding music (and nothing deeper) is one box set.
    if (here.musicFiles.isEmpty() && here.folders.size() > 1 &&
        std::all_of(here.folders.cbegin(), here.folders.cend(), LibraryWalk::isDiscName)) {
        QStringList discs;
        QList<QStringList> files;
        bool plain = true;
        for (const QString& name : here.folders) {
            const Listing disc = list(folder + u'/' + name);
            plain = plain && !disc.musicFiles.isEmpty() && disc.folders.isEmpty();
            discs << folder + u'/' + name;
            files << disc.musicFiles;
        }
        if (plain) {
            out.append({folder, discs, files});
            return {};
        }
    }
    QStringList next;
    for (const QString& name : here.folders)
        next << folder + u'/' + name;
    return next;
}

void walk(const QString& folder, QList<LibraryWalk::Entry>& out) {
    for (const QString& sub : visit(folder, out))
        walk(sub, out);
}

} // namespace

bool LibraryWalk::isDiscName(const QString& name) {
    static const QRegularExpression disc(
        QStringLiteral("^\\s*((cd|disc|disk|dvd)\\s*[-_.]?\\s*)?\\d{1,3}(\\s*[-:(\\[].*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return disc.match(name).hasMatch();
}

QList<LibraryWalk::Entry> LibraryWalk::find(const QString& root) {
    QList<Entry> entries;
    QStringList subtrees = visit(QDir::cleanPath(QDir(root).absolutePath()), entries);
    while (subtrees.size() == 1)
        subtrees = visit(subtrees.front(), entries);
    // The subtrees of the first folder that has several, on every core: a
    // library is thousands of folders to list.
    std::vector<QList<Entry>> found(size_t(subtrees.size()));
    WorkSharing::forEachIndex(size_t(subtrees.size()),
                              [&](size_t i) { walk(subtrees.at(qsizetype(i)), found[i]); });
    for (const QList<Entry>& some : found)
        entries += some;
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.path < b.path; });
    return entries;
}

LibraryWalk::Identity LibraryWalk::identify(const Entry& entry) {
    Identity id;
    struct stat st;
    if (::stat(QFile::encodeName(entry.path).constData(), &st) != 0) return id;
    id.device = qint64(st.st_dev);
    id.inode = qint64(st.st_ino);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray line;
    for (qsizetype i = 0; i < entry.albums.size(); ++i) {
        const QString& album = entry.albums[i];
        hash.addData(QFile::encodeName(album.mid(entry.path.size())) + '\n');
        const QStringList names = i < entry.files.size() ? entry.files[i] : list(album).musicFiles;
        const int dir =
            ::open(QFile::encodeName(album).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) continue;
        for (const QString& name : names) {
            const QByteArray raw = QFile::encodeName(name);
            if (::fstatat(dir, raw.constData(), &st, 0) != 0) continue;
            // "NAME\0SIZE\0SECONDS.NANOSECONDS\n", its numbers written into one
            // reused buffer: a library is thousands of files.
            line.truncate(0);
            line += '\0';
            appendNumber(line, qint64(st.st_size));
            line += '\0';
            appendNumber(line, qint64(st.st_mtim.tv_sec));
            line += '.';
            appendNumber(line, qint64(st.st_mtim.tv_nsec));
            line += '\n';
            hash.addData(raw);
            hash.addData(line);
        }
        ::close(dir);
    }
    id.fingerprint = QString::fromLatin1(hash.result().toHex());
    return id;
}

QList<LibraryWalk::Identity> LibraryWalk::identifyAll(const QList<Entry>& entries) {
    QList<Identity> ids(entries.size());
    Identity* const out = ids.data(); // detached once, before the threads
    WorkSharing::forEachIndex(size_t(entries.size()),
                              [&](size_t i) { out[i] = identify(entries.at(qsizetype(i))); });
    return ids;
}
