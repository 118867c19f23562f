#pragma once

#include "support/LoopbackServer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

// Song searches of All Music Guide and Google Music on one loopback server,
// in the page formats those sources parse: the All Music Guide title search
// leads to one list of recordings (one row per album of the site), the
// Google song search lists one row per album of the site, and each album has
// its page with the titles. Point "AMGBaseURL" and "GoogleBaseURL" at it.
class LoopbackSongWeb {
public:
    enum class Site { AMG, Google };
    struct Album {
        Site site = Site::AMG;
        QString id; // the album's identifier at the site
        QString artist, album, year, genre;
        QStringList titles;
    };

    // `songTitle`: the title the All Music Guide search reports and the
    // Google rows carry.
    explicit LoopbackSongWeb(const QString& songTitle);
    void addAlbum(const Album& album);

    LoopbackServer& server() { return fServer; }
    QString baseUrl() const { return fServer.baseUrl(); }
    // The request targets so far.
    std::vector<std::string> targets() const { return fServer.targets(); }

private:
    std::string amgPage(const httplib::Request& req) const;
    std::string googlePage(const httplib::Request& req) const;
    std::string googleAlbumPage(const httplib::Request& req) const;

    QString fSongTitle;
    mutable std::mutex fMutex;
    QList<Album> fAlbums;
    // Last, so it stops before the pages it serves go away.
    LoopbackServer fServer;
};
