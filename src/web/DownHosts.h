#pragma once

#include <QSet>
#include <QString>

// The hosts that refused or never opened a connection during one look-up.
// A worker holds a scope for the whole look-up; fetches on its thread skip a
// host once it failed to connect, so an offline look-up ends in seconds
// instead of waiting out every attempt at every source. Without a scope
// nothing is remembered.
class DownHosts {
public:
    DownHosts();
    ~DownHosts();
    DownHosts(const DownHosts&) = delete;
    DownHosts& operator=(const DownHosts&) = delete;

    // "host:port" of an address, the unit that is up or down.
    static QString hostKey(const QString& url);
    // False when the calling thread has no scope.
    static bool isDown(const QString& url);
    static void markDown(const QString& url);

private:
    QSet<QString> fDown;
    DownHosts* fOuter;
};
