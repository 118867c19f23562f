#pragma once

#include "system/AlertHost.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

// The check for a newer version, at most once a day: the versions file
// ("VersionsURL": lines of an application name, a tab and a version number)
// is fetched on a detached thread, a one-second timer on the main thread
// polls the result, and a newer version is announced with an alert whose
// answer can open the home page or silence the check for this version.
class VersionChecker : public QObject {
    Q_OBJECT
public:
    enum Status { kRunning = 0, kNewer = 1, kNothing = 2 };

    // The number the versions file gives for the application, or none when
    // no line names it exactly or the number is missing.
    static std::optional<int> versionIn(const QString& page, const QString& appName);
    // Whether a check is due now: not silenced by "NeverCheck" for this
    // version, and "LastVersionCheck" more than a day (86,400 s) ago.
    static bool checkDue(qint64 nowSecs);

    // CheckForNewVersion: when a check is due, records the time and starts
    // one whose alert goes to `alerts`. Null when none is due.
    static VersionChecker* CheckForNewVersion(AlertHost* alerts, QObject* parent = nullptr);

    Status status() const { return Status(fShared->status.load()); }
    // What the alert's buttons do: 0 "OK" visits the home page, 1 "Never"
    // silences this version, 2 "Later" waits for the next day.
    static void respond(int button);
    static Alert newVersionAlert(const QString& appName);

signals:
    // The poll saw the fetch end (after the alert, if one was shown).
    void finished(VersionChecker::Status status);

private:
    VersionChecker(AlertHost* alerts, QObject* parent);
    void start();
    void poll();

    // Shared with the fetching thread, which may outlive this object.
    struct Shared {
        std::atomic<int> status{kRunning};
    };
    std::shared_ptr<Shared> fShared = std::make_shared<Shared>();
    QString fAppName;
    AlertHost* fAlerts;
    QTimer fTimer;
};
