#include "library/LibraryWalk.h"

#include "media/MusicFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

#include <sys/stat.h>

namespace {

struct Listing {
    QStringList musicFiles; // names
    QStringList folders;    // names of subfolders that are not hidden or links
};

Listing list(const QString& folder) {
    Listing l;
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : entries) {
        if (info.isSymLink() && info.isDir()) continue;
        if (info.isDir())
            l.folders << info.fileName();
        else if (MusicFile::isMusicFileName(info.fileName()))
            l.musicFiles << info.fileName();
    }
    return l;
}

void walk(const QString& folder, QList<LibraryWalk::Entry>& out) {
    const Listing here = list(folder);
    if (!here.musicFiles.isEmpty()) out.append({folder, {folder}});

    // A folder without music of its own whose subfolders are all discs
    // holding music (and nothing deeper) is one box set.
    if (here.musicFiles.isEmpty() && here.folders.size() > 1 &&
        std::all_of(here.folders.cbegin(), here.folders.cend(), LibraryWalk::isDiscName)) {
        QStringList discs;
        bool plain = true;
        for (const QString& name : here.folders) {
            const Listing disc = list(folder + u'/' + name);
            plain = plain && !disc.musicFiles.isEmpty() && disc.folders.isEmpty();
            discs << folder + u'/' + name;
        }
        if (plain) {
            out.append({folder, discs});
            return;
        }
    }
    for (const QString& name : here.folders)
        walk(folder + u'/' + name, out);
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
    walk(QDir::cleanPath(QDir(root).absolutePath()), entries);
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
    for (const QString& album : entry.albums) {
        hash.addData(QFile::encodeName(album.mid(entry.path.size())) + '\n');
        for (const QString& name : list(album).musicFiles) {
            const QByteArray path = QFile::encodeName(album + u'/' + name);
            if (::stat(path.constData(), &st) != 0) continue;
            hash.addData(QFile::encodeName(name) + '\0' + QByteArray::number(qint64(st.st_size)) +
                         '\0' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                         QByteArray::number(qint64(st.st_mtim.tv_nsec)) + '\n');
        }
    }
    id.fingerprint = QString::fromLatin1(hash.result().toHex());
    return id;
}
