#pragma once

class DocumentBase;
class QTextStream;
struct CliOptions;

namespace OpenCommand {

// "open FOLDER": opens the folder like the window does, applies the options
// in the order a user would (look-up, box set, chosen hit, modes, fields),
// optionally saves, and prints the proposal. Returns the exit status.
// A file instead of a folder is opened as a single file (FileCommand).
int run(const CliOptions& options, QTextStream& out, QTextStream& err);

// Ends the running operation and delivers what its worker posted to the
// main thread (alerts, reloads), as the window's event loop would.
void settle(DocumentBase& doc);

} // namespace OpenCommand
