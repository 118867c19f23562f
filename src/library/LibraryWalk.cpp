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

namespace {

// What the fingerprint takes of a music file.
struct Stamp {
    qint64 size = 0;
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
    bool read = false; // false: the file could not be looked at
};

Stamp stampOf(const struct stat& st) {
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), true};
}

struct Listing {
    QStringList musicFiles;       // names
    std::vector<Stamp> stamps;    // of musicFiles, in their order
    QStringList folders;          // names of subfolders that are not hidden or links
    qint64 device = 0, inode = 0; // of the folder itself
};

// Straight from the directory: its entry types spare a stat per name, and
// each music file is looked at while the folder is open, for the
// fingerprint (a library is thousands of folders: one opening each).
Listing list(const QString& folder) {
    Listing l;
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) return l;
    struct stat st;
    if (::fstat(::dirfd(dir), &st) == 0) {
        l.device = qint64(st.st_dev);
        l.inode = qint64(st.st_ino);
    }
    std::vector<std::pair<QString, Stamp>> music;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray raw(e->d_name);
        if (raw == "." || raw == "..") continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        const QString name = QFile::decodeName(raw);
        // Links to folders are not followed (they may loop); hidden folders
        // are not music.
        if (type == DT_DIR && !name.startsWith(u'.')) {
            l.folders << name;
        } else if ((type == DT_REG || type == DT_LNK) && MusicFile::isMusicFileName(name)) {
            const bool seen = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0;
            music.emplace_back(name, seen ? stampOf(st) : Stamp{});
        }
    }
    ::closedir(dir);
    l.folders.sort();
    std::sort(music.begin(), music.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [name, stamp] : music) {
        l.musicFiles << name;
        l.stamps.push_back(stamp);
    }
    return l;
}

void appendNumber(QByteArray& to, qint64 n) {
    char digits[24];
    to.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
}

// SHA-1 of "RELATIVE PATH\n" for each album of an entry, each followed by
// "NAME\0SIZE\0SECONDS.NANOSECONDS\n" for each of its music files that could be
// looked at. The numbers are written into one reused buffer: a library is
// thousands of files.
class Fingerprint {
public:
    void addAlbum(const QString& relativePath, const Listing& listing) {
        fHash.addData(QFile::encodeName(relativePath) + '\n');
        for (size_t i = 0; i < listing.stamps.size(); ++i) {
            const Stamp& stamp = listing.stamps[i];
            if (!stamp.read) continue;
            fLine.truncate(0);
            fLine += '\0';
            appendNumber(fLine, stamp.size);
            fLine += '\0';
            appendNumber(fLine, stamp.seconds);
            fLine += '.';
            appendNumber(fLine, stamp.nanoseconds);
            fLine += '\n';
            fHash.addData(QFile::encodeName(listing.musicFiles.at(qsizetype(i))));
            fHash.addData(fLine);
        }
    }
    QString result() const { return QString::fromLatin1(fHash.result().toHex()); }

private:
    QCryptographicHash fHash{QCryptographicHash::Sha1};
    QByteArray fLine;
};

LibraryWalk::Identity identityOf(const Listing& folder, const Fingerprint& fingerprint) {
    return {folder.device, folder.inode, fingerprint.result()};
}

// Adds what `folder` itself holds to `out` and returns the subfolders to
// walk on.
QStringList visit(const QString& folder, QList<LibraryWalk::Entry>& out) {
    const Listing here = list(folder);
    if (!here.musicFiles.isEmpty()) {
        Fingerprint fingerprint;
        fingerprint.addAlbum(QString(), here);
        out.append({folder, {folder}, identityOf(here, fingerprint)});
    }

    // A folder without music of its own whose subfolders are all discs
    // holding music (and nothing deeper) is one box set.
    if (here.musicFiles.isEmpty() && here.folders.size() > 1 &&
        std::all_of(here.folders.cbegin(), here.folders.cend(), LibraryWalk::isDiscName)) {
        QStringList discs;
        Fingerprint fingerprint;
        bool plain = true;
        for (const QString& name : here.folders) {
            const Listing disc = list(folder + u'/' + name);
            plain = plain && !disc.musicFiles.isEmpty() && disc.folders.isEmpty();
            discs << folder + u'/' + name;
            fingerprint.addAlbum(u'/' + name, disc);
        }
        if (plain) {
            out.append({folder, discs, identityOf(here, fingerprint)});
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
    struct stat st;
    if (::stat(QFile::encodeName(entry.path).constData(), &st) != 0) return {};
    // The albums as they are now, not as the walk found them: a save
    // renames files.
    Fingerprint fingerprint;
    for (const QString& album : entry.albums)
        fingerprint.addAlbum(album.mid(entry.path.size()), list(album));
    return {qint64(st.st_dev), qint64(st.st_ino), fingerprint.result()};
}
