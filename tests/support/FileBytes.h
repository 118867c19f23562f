#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Files as the tests make and check them.

// The file's bytes; empty when it cannot be read.
QByteArray readBytes(const QString& path);

// Replaces the file's bytes; false when they were not all written.
bool writeBytes(const QString& path, const QByteArray& bytes);

// The file's inode number, so a test can tell a file rewritten in place from
// one replaced by another; 0 when there is no such file.
ino_t inodeOf(const QString& path);

// Every name in the folder, hidden and system ones included, sorted.
QStringList entries(const QString& dir);
