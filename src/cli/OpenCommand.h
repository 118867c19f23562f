#pragma once

#include "cli/JsonOutput.h"
#include "cli/TextOutput.h"

#include <QIODevice>
#include <QTextStream>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

class DocumentBase;
class HeadlessHost;
class QString;
struct CliOptions;

namespace OpenCommand {

// "open FOLDER": opens the folder like the window does, applies the options
// in the order a user would (look-up, box set, chosen hit, modes, fields),
// optionally saves, and prints the proposal. Returns the exit status.
// (A file instead of a folder goes to FileCommand: see main.)
int run(const CliOptions& options, QTextStream& out, QTextStream& err);

// Ends the running operation and delivers what its worker posted to the
// main thread (alerts, reloads), as the window's event loop would.
void settle(DocumentBase& doc);

// After a save that did not get through: "trovix-cli: PATH: not saved",
// with the title and message of the alert that stopped it, if one came
// after `alertsBefore` alerts.
void reportNotSaved(QTextStream& err, const QString& path, const HeadlessHost& host,
                    qsizetype alertsBefore);

// Whether opening left part of an interrupted save undone (a journal it
// would not trust): the command then exits with 1.
bool recoveryRefused(const HeadlessHost& host);

// Prints a folder or file view as JSON or as text (coloured on a terminal
// unless NO_COLOR is set).
template <typename View>
void printView(const View& view, QTextStream& out, bool json) {
    if (json) {
        // The text is UTF-8 already: written as it is, not turned into
        // UTF-16 and back by the stream.
        const QByteArray text = JsonOutput::format(view);
        out.flush();
        if (QIODevice* device = out.device())
            device->write(text);
        else
            out << text;
    } else {
        const bool colour = ::isatty(::fileno(stdout)) && !std::getenv("NO_COLOR");
        TextOutput::print(view, out, colour);
    }
    out.flush();
}

} // namespace OpenCommand
