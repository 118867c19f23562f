// Feeds arbitrary bytes, as a rollback journal with a valid checksum, to
// recovery in a folder holding a music file and a link to a file outside
// the folder. The 8-byte markers "DEVICE!!", "INODE!!!", "FOLDDEV!" and
// "FOLDINO!" become the identities of the music file and of the folder, so
// that inputs reach past the identity checks. Recovery may put the music
// file back; it must never change the file outside, and never crash or
// take memory the journal does not hold.
#include "save/RollbackJournal.h"
#include "system/FolderHandle.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

#include <sys/stat.h>

namespace {

// Fixed, so that the absolute paths of the older formats in the seeds hold.
const QString kRoot = QStringLiteral("/tmp/trovix-rollback-fuzz");

QByteArray songBytes() {
    QByteArray bytes(4096, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 % 251);
    return bytes;
}

bool put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray bigEndian(quint64 value) {
    QByteArray out(8, '\0');
    for (int i = 7; i >= 0; --i, value >>= 8)
        out[i] = char(value & 0xFF);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QByteArray outsideBytes("the user's own lines");
    static const bool ready = [] {
        QDir().mkpath(kRoot + QStringLiteral("/Album"));
        QFile::link(kRoot + QStringLiteral("/outside.txt"),
                    kRoot + QStringLiteral("/Album/link.mp3"));
        return put(kRoot + QStringLiteral("/outside.txt"), outsideBytes);
    }();
    if (!ready) std::abort();
    const QString song = kRoot + QStringLiteral("/Album/song.mp3");
    if (!put(song, songBytes())) return 0;
    FolderHandle folder;
    if (!folder.open(kRoot + QStringLiteral("/Album"))) return 0;
    struct stat st {};
    ::stat(QFile::encodeName(song).constData(), &st);

    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bytes.replace("DEVICE!!", bigEndian(st.st_dev));
    bytes.replace("INODE!!!", bigEndian(st.st_ino));
    bytes.replace("FOLDDEV!", bigEndian(folder.device()));
    bytes.replace("FOLDINO!", bigEndian(folder.inode()));
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    RecoveryReport report;
    RollbackJournal::finishJournal(folder, ".trovix-rollback3-1-1.journal", bytes, &report);

    QFile outside(kRoot + QStringLiteral("/outside.txt"));
    if (!outside.open(QIODevice::ReadOnly) || outside.readAll() != outsideBytes) std::abort();
    return 0;
}
