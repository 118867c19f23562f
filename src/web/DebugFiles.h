#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

// Debug copies of every request URL and fetched page, numbered with one
// counter shared by all sources and documents.
extern std::atomic<int> gDebugFileNum;

// Where dumps go: "/tmp" unless TROVIX_DEBUG_DIR is set or a folder was set
// here (tests point it at a private folder). An empty text restores the
// default.
QString DebugFileFolder();
void SetDebugFileFolder(const QString& folder);

// Writes one dump. The pattern is a printf-like name with one "%d", such as
// "/tmp/Trovix_AMG_%d.txt"; only its file-name part is used, placed in the
// dump folder, and "%d" becomes the counter's value before its increment, so
// a request's URL and page carry consecutive numbers. The file is created
// 0600 without following links; an existing name is replaced only when it is
// a regular file of the current user, otherwise the dump is skipped (the
// shared temporary folder is writable by everyone). Returns the number used,
// or -1 when nothing was written. Failures are otherwise silent.
int WriteDebugFile(const char* pattern, const QByteArray& bytes);
// A page or URL text, written back as the bytes it was decoded from
// (ISO 8859-1).
int WriteDebugFile(const char* pattern, const QString& text);

// Start-up clean-up: deletes the "Trovix*" entries of the dump folder that
// are regular files owned by the current user, and nothing else.
void CleanUpDebugFiles();
