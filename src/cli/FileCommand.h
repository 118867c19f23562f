#pragma once

class QTextStream;
struct CliOptions;

namespace FileCommand {

// "file FILE" (or "open FILE"): opens one audio file like the single-file
// window does, looks up other terms, applies a chosen song hit, sets fields,
// optionally saves, and prints the fields and hits. Returns the exit status.
int run(const CliOptions& options, QTextStream& out, QTextStream& err);

} // namespace FileCommand
