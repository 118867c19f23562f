#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// One running Trovix per user. The first process listens on a local socket;
// a later one hands its paths over and exits. A socket left by a crashed
// instance is found stale (nobody answers) and replaced.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,    // this process is the instance and listens for paths
        HandedOver, // a running instance took the paths
        Alone,      // neither worked; this process goes on without hand-over
    };

    // `socketPath` defaults to trovix.socket in $XDG_RUNTIME_DIR (or a
    // per-user name in the temporary folder when that is not set).
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultSocketPath();

    // Hands `paths` (made absolute against this process's folder) to a
    // running instance, or becomes the instance.
    Role claim(const QStringList& paths);
    QString socketPath() const { return fSocketPath; }

signals:
    // A later process's paths, absolute, possibly none.
    void pathsReceived(const QStringList& paths);

private:
    enum class HandOver { Done, NoServer, NoAnswer };
    HandOver handOver(const QStringList& paths);
    void acceptConnection();

    QString fSocketPath;
    QLocalServer* fServer = nullptr;
};
