#pragma once

class QTextStream;
struct CliOptions;

namespace OpenCommand {

// "open FOLDER": opens the folder like the window does, applies the options
// in the order a user would (look-up, box set, chosen hit, modes, fields),
// optionally saves, and prints the proposal. Returns the exit status.
int run(const CliOptions& options, QTextStream& out, QTextStream& err);

} // namespace OpenCommand
