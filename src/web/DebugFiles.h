#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

// Debug copies of request URLs and fetched pages, numbered with one counter
// shared by all sources and documents. They are written only when asked for
// (the command line's --verbose, the window's "WriteDebugFiles" preference, or
// TROVIX_DEBUG_DIR set), each cut to a size cap, and the folder kept under its
// own cap by removing the oldest dumps first: a server cannot fill the disk.
extern std::atomic<int> gDebugFileNum;

// Whether dumps are written: when switched on here or TROVIX_DEBUG_DIR is set.
bool DebugFilesEnabled();
void SetDebugFilesEnabled(bool enabled);

// The caps; the defaults are WebLimits' (tests use small ones).
struct DebugFileLimits {
    qint64 fileBytes;
    qint64 folderBytes;
};
DebugFileLimits CurrentDebugFileLimits();
void SetDebugFileLimits(const DebugFileLimits& limits);

// Where dumps go: "/tmp" unless TROVIX_DEBUG_DIR is set or a folder was set
// here (tests point it at a private folder). An empty text restores the
// default.
QString DebugFileFolder();
void SetDebugFileFolder(const QString& folder);

// Writes one dump, when dumps are on. The pattern is a printf-like name with
// one "%d", such as "/tmp/Trovix_AMG_%d.txt"; only its file-name part is used,
// placed in the dump folder, and "%d" becomes the counter's value before its
// increment, so a request's URL and page carry consecutive numbers. Only the
// first `fileBytes` are written; older "Trovix*" dumps of the folder go,
// oldest first, until the folder's dumps fit `folderBytes`. The file is
// created 0600 without following links; an existing name is replaced only
// when it is a regular file of the current user, otherwise the dump is
// skipped (the shared temporary folder is writable by everyone). Returns the
// number used, or -1 when nothing was written. Failures are otherwise silent.
int WriteDebugFile(const char* pattern, const QByteArray& bytes);
// A page or URL text, written back as the bytes it was decoded from
// (ISO 8859-1).
int WriteDebugFile(const char* pattern, const QString& text);

// Start-up clean-up of both front ends: deletes the "Trovix*" entries of the
// dump folder that are regular files owned by the current user, and nothing
// else.
void CleanUpDebugFiles();
