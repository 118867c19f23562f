// Feeds arbitrary bytes to the rename journal's reader, and as a journal to
// recovery in a folder of two files beside a file outside it. "@DEV@",
// "@INO@", "@FDEV@" and "@FINO@" become the device and inode of the first
// file and of the folder, so that inputs reach past the identity checks.
// Whatever the journal says, the folder keeps its two files, its parent
// keeps the folder (under a visible name) and the file outside, and a
// single file's opening never renames the folder.
#include "save/RenameJournal.h"
#include "system/FolderHandle.h"

#include "ScratchFolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

#include <sys/stat.h>

namespace {

bool put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString root = scratchFolder() + QStringLiteral("/root");
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    RenameJournal::parse(input);

    QDir(root).removeRecursively();
    const QString album = root + QStringLiteral("/Album");
    if (!QDir().mkpath(album) || !put(album + QStringLiteral("/a.mp3"), "a") ||
        !put(album + QStringLiteral("/b.mp3"), "b") || !put(root + QStringLiteral("/outside"), "o"))
        return 0;
    FolderHandle folder;
    struct stat st {};
    if (!folder.open(album) || ::stat(QFile::encodeName(album + "/a.mp3").constData(), &st) != 0)
        return 0;
    QByteArray bytes = input;
    bytes.replace("@DEV@", QByteArray::number(quint64(st.st_dev)));
    bytes.replace("@INO@", QByteArray::number(quint64(st.st_ino)));
    bytes.replace("@FDEV@", QByteArray::number(quint64(folder.device())));
    bytes.replace("@FINO@", QByteArray::number(quint64(folder.inode())));
    if (!put(album + QStringLiteral("/.trovix-renames"), bytes)) return 0;
    const auto scope = size % 2 ? RenameJournal::Scope::SingleFile : RenameJournal::Scope::Folder;
    const RenameJournal::Recovery r = RenameJournal::finish(folder, album, scope);

    const QStringList parent =
        QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QString now = r.folder.mid(root.size() + 1);
    if (parent.size() != 2 || !parent.contains(QStringLiteral("outside")) ||
        !parent.contains(now) || now.startsWith(u'.') ||
        (scope == RenameJournal::Scope::SingleFile && now != u"Album"))
        std::abort();
    QStringList files = QDir(r.folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    files.removeOne(RenameJournal::kFileName);
    if (files.size() != 2) std::abort();
    return 0;
}
