#pragma once

#include "cli/FileView.h"
#include "cli/FolderView.h"

class QTextStream;

namespace TextOutput {

// The proposal as a table. With `colour`, the status letters are red, green
// or grey; without, each letter carries a marker: "!" will change, "="
// already right, "-" untouched.
void print(const FolderView& view, QTextStream& out, bool colour);
// A single file: its fields and status, the song hits, the file on disk.
void print(const FileView& view, QTextStream& out, bool colour);

// The alerts alone, for standard error.
void printAlerts(const QList<Alert>& alerts, QTextStream& out);

QString statusLetters(const StatusRow& row, bool colour);

} // namespace TextOutput
