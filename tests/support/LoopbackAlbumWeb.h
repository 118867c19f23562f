#pragma once

#include "docs/LookupSources.h"
#include "support/LoopbackServer.h"

#include <QString>
#include <QStringList>

#include <atomic>

// A pretend music site on a loopback server, for window tests and the
// screenshot tool: "/search" answers one album per line as
// "key|artist|album|year|genre|title;title;...", and the All Music Guide
// look-up of a folder document is pointed at it. With `slow` set, the
// search answers only after ten seconds (or when the server stops), so a
// cancel can be tried.
class LoopbackAlbumWeb {
public:
    struct Album {
        QString key, artist, album, year, genre;
        QStringList titles;
    };

    LoopbackAlbumWeb();
    void addAlbum(const Album& album);
    void setSlow(bool slow) { fSlow = slow; }
    // Sources whose only site is this server (saved searches and the other
    // sites answer nothing).
    LookupSources sources();
    // Turns the All Music Guide search on and the other sites off.
    static void enableOnlyAMG();
    LoopbackServer& server() { return fServer; }

private:
    // Before the server, so a stalled request that wakes while the server
    // shuts down still finds them.
    std::atomic<bool> fSlow{false};
    QList<Album> fAlbums;
    LoopbackServer fServer;
};
