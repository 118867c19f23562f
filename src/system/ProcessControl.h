#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

// Asking another desktop application to quit and starting it again, both by
// its desktop-file id ("org.gnome.Nautilus"): what a restart of the file
// manager after changing its menu files needs.
struct ProcessStatus {
    enum class Code {
        Done,         // the quit request was accepted, or the program started
        NotRunning,   // nobody owns the application's bus name
        NotSupported, // no quit action on the bus, or no usable Exec line
        NotFound,     // no desktop file with that id in the data folders
        Failed,       // the bus or the system refused
    };
    Code code = Code::Failed;
    QString message;

    bool ok() const { return code == Code::Done; }
};

// Activates the application's "quit" action through org.freedesktop.Application,
// then org.gtk.Actions, at the object path its id names.
ProcessStatus quitApp(const QString& desktopId,
                      const QDBusConnection& bus = QDBusConnection::sessionBus());

// Starts the Exec line of "<desktopId>.desktop" from the XDG data folders,
// detached and without a shell, with no files.
ProcessStatus launchApp(const QString& desktopId);

// Restarts applications after their menu files changed: asks each to quit,
// and `delayMs` later launches again those that accepted (so nothing starts
// that was not running). Returns at once with the ids asked to quit; the
// launches need the event loop.
QStringList restartApps(const QStringList& desktopIds, int delayMs = 2000,
                        const QDBusConnection& bus = QDBusConnection::sessionBus());

// The program and arguments of a desktop-entry Exec value: quoting undone,
// field codes dropped. Empty when the value cannot be parsed.
QStringList execArguments(const QString& exec);
