#pragma once

#include <QList>
#include <QString>

// TrovixTools for this user: the application's copies of the file-manager
// menu files and where each goes under $XDG_DATA_HOME. Knows how far they
// are installed, and installs, upgrades and removes them.
class InstalledItem {
public:
    enum Status {
        Empty = 0,      // the application's copies are missing
        Missing = 1,    // none is installed
        Mixed = 2,      // some are installed, some are not
        Upgradable = 3, // an installed copy is older than the application's
        Current = 4,    // all are installed and current
    };

    struct Entry {
        QString source;          // the application's copy
        QString dest;            // the per-user copy
        bool executable = false; // the file manager wants it executable
    };

    struct Result {
        bool ok = false;
        QString message; // what failed, for the alert
    };

    explicit InstalledItem(QList<Entry> entries, QString command = QStringLiteral("trovix"))
        : fEntries(std::move(entries)), fCommand(std::move(command)) {}

    // The shipped Dolphin service menu, Nemo action and GNOME Files script,
    // bound for kio/servicemenus, nemo/actions and nautilus/scripts, running
    // `program` (by default the running one).
    static InstalledItem trovixTools(const QString& program = {});
    // What the menu files run to reach `program`: plain "trovix" when that
    // is what the PATH finds, else the program's absolute path, so a binary
    // in a build folder is the one the file manager starts.
    static QString commandFor(const QString& program);
    // A menu file's text with its "Exec=trovix" or "exec trovix" line
    // running `command` instead, quoted as the file's kind wants.
    static QByteArray withCommand(const QByteArray& text, const QString& command);

    // Read afresh from the disk each time.
    Status status() const;

    // Menu rules: the install title names an upgrade; install is offered
    // while something is missing or older, remove while anything is there.
    static QString installTitle(Status status);
    static bool canInstall(Status status);
    static bool canRemove(Status status);

    // Writes every copy beside its place, then renames it over; a file there
    // that is not ours is left alone and reported.
    Result install() const;
    // Deletes only the per-user files that carry the Trovix version line.
    Result remove() const;

    const QList<Entry>& entries() const { return fEntries; }

    // The version a Trovix file declares ("X-Trovix-Version=N", also as a
    // comment line); null when the file has none, so is not ours.
    static QString fileVersion(const QString& path);

private:
    QList<Entry> fEntries;
    QString fCommand;
};
