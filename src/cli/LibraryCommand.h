#pragma once

class QTextStream;
struct CliOptions;

namespace LibraryCommand {

// "library ROOT": a plan or save run over every album folder under ROOT,
// or the review queue, one queued folder applied or skipped, or a summary.
// Returns the exit status.
int run(const CliOptions& options, QTextStream& out, QTextStream& err);

} // namespace LibraryCommand
