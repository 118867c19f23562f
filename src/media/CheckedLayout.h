#pragma once

#include "media/FileIO.h"

#include <QFile>
#include <QString>

#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// What a save's check read back of the file it wrote (a FLAC file's block
// layout, an Ogg stream's headers), kept for the file object once saved:
// the file need not be read again one file after another at the end.
template <typename Layout> struct CheckedLayout {
    struct stat seen {}; // the file as the check read it
    Layout layout;
};

// Sets *opened and *layout from `checked` when the file at `path` is still
// the one the check read (writing in place, or renaming the new copy over
// the file, keeps its inode, size and time); else reads the file again with
// `read(fd, layout)`, which answers null when the layout is sound. False
// when the file could not be read. `checked` is emptied either way.
template <typename Layout, typename Read>
bool takeCheckedLayout(std::optional<CheckedLayout<Layout>>& checked, const QString& path,
                       struct stat* opened, Layout* layout, Read read) {
    const QByteArray native = QFile::encodeName(path);
    struct stat now {};
    bool ok = false;
    if (checked && ::stat(native.constData(), &now) == 0 && FileIO::sameFile(now, checked->seen)) {
        *opened = now;
        *layout = std::move(checked->layout);
        ok = true;
    } else {
        const FileIO::ClosedAtExit again{::open(native.constData(), O_RDONLY | O_CLOEXEC)};
        ok = again.fd >= 0 && ::fstat(again.fd, opened) == 0 && read(again.fd, layout).isNull();
    }
    checked.reset();
    return ok;
}
