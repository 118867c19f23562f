// trovix-cli: tags album folders and single files from a terminal or a script.
#include "app/AppVersion.h"
#include "app/Preferences.h"
#include "cli/CliOptions.h"
#include "cli/DemoAlbum.h"
#include "cli/FileCommand.h"
#include "cli/LibraryCommand.h"
#include "cli/OpenCommand.h"
#include "cli/PrefsCommand.h"
#include "cli/StopSignals.h"
#include "system/Log.h"
#include "web/DebugFiles.h"
#include "web/WebThrottle.h"
#include "web/sources/MusicSources.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    // Qt's own event loop rather than GLib's: a terminal program has no GLib
    // sources to share it with, and each thread's loop starts faster.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trovix-cli"));
    QCoreApplication::setApplicationVersion(AppVersion::versionText());
    QTextStream out(stdout);
    QTextStream err(stderr);

    const CliParse parse = parseArguments(app.arguments().mid(1));
    if (!parse.ok()) {
        err << "trovix-cli: " << parse.error << "\n\n" << usageText();
        return 2;
    }
    const CliOptions& o = parse.options;
    if (o.verbose) trovix_log::setVerbose(true); // new filter rules cost 0.3 ms
    Prefs::initializeDefaults();
    MusicSources::registerPreferences();
    // The sites are paced per process, as in the desktop application.
    InitWebThrottles();
    QString error;
    if (!PrefsCommand::applyOverrides(o.overrides, &error)) {
        err << "trovix-cli: " << error << "\n";
        return 2;
    }
    // The copies of an earlier run go, as the window's start-up removes them.
    CleanUpDebugFiles();
    SetDebugFilesEnabled(o.verbose ||
                         Prefs::boolValue(QString::fromLatin1(Prefs::kWriteDebugFiles)));

    StopSignals::installTestTrigger();
    switch (o.command) {
    case CliOptions::Command::Help:
        out << usageText();
        return 0;
    case CliOptions::Command::Version:
        out << AppVersion::AppName() << " " << AppVersion::versionText() << "\n";
        return 0;
    case CliOptions::Command::Prefs:
        if (o.prefsCheck) return PrefsCommand::check(out);
        return PrefsCommand::run(o.prefsStore, o.prefsKey, o.prefsValue, out, err);
    case CliOptions::Command::DemoAlbum: {
        const Outcome built = DemoAlbum::build(o.folder);
        if (!built.ok()) {
            err << "trovix-cli: " << built.reason << "\n";
            return 1;
        }
        out << o.folder << "\n";
        return 0;
    }
    case CliOptions::Command::Open: {
        // "open" of a file is the single-file command.
        const QFileInfo info(o.folder);
        if (info.exists() && !info.isDir()) return FileCommand::run(o, out, err);
        return OpenCommand::run(o, out, err);
    }
    case CliOptions::Command::File:
        return FileCommand::run(o, out, err);
    case CliOptions::Command::Library:
        return LibraryCommand::run(o, out, err);
    }
    return 2;
}
