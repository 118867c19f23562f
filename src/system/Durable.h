#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

// The pieces every durable write is built from: a whole write that retries
// after interruptions and short transfers, the folder sync that makes a name
// made or removed there last, and the text of a failure for the user.
namespace Durable {

QString errnoText(int error);

// False on an error; errno says which.
bool writeAll(int fd, const char* data, size_t size);

// The descriptor of a folder, for fsync and syncfs; -1 when it cannot be opened.
int openFolder(const QByteArray& path);
// fsync of a folder, so that a name made or removed there lasts.
bool syncFolder(const QByteArray& path);
// The same for the folder that holds `path`.
bool syncFolderOf(const QString& path);

// Closes these descriptors on a detached thread (here when none can be
// started): the last close of a removed or replaced file frees its blocks,
// which the caller need not wait for.
void closeElsewhere(std::vector<int> fds);

} // namespace Durable
