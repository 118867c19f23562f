#pragma once

#include "support/LoopbackServer.h"

#include <QList>
#include <QString>
#include <QStringList>

// Music libraries for the library-run tests and benchmarks: releases, album
// folders made from them (MP3, M4A and FLAC files of any length, written
// byte by byte, so a thousand folders take seconds), and a stand-in for
// MusicBrainz and the Cover Art Archive that answers from the releases.
struct FixtureSong {
    QString title;
    int secs = 200;
    QString artist = QString(); // a compilation's own artist per track
};

struct FixtureRelease {
    QString id; // 36 characters, as MusicBrainz ids are
    QString artist;
    QString title;
    QString year;
    QList<FixtureSong> songs;

    // A release of `count` songs whose titles, lengths and id follow from
    // `seed`, so every seed gives another album.
    static FixtureRelease generated(int seed, int count, const QString& artist,
                                    const QString& title);
};

struct AlbumFolderOptions {
    bool tags = true;           // title, artist, album, year, track number
    bool shuffledNames = false; // file names in no order and with no number
    bool wrongTitles = false;   // names (and tags) carry other titles
    int skipSong = -1;          // a song left out
};

// Writes the songs as files into `dir` (made if missing), the kinds taking
// turns: MP3, M4A, FLAC. False when a file could not be written.
bool writeAlbumFolder(const QString& dir, const FixtureRelease& release,
                      const AlbumFolderOptions& options = {});

class LoopbackMusicBrainz {
public:
    explicit LoopbackMusicBrainz(const QList<FixtureRelease>& releases);

    // trovix-cli arguments that ask this server alone, with covers.
    QStringList settings() const;
    // Requests seen so far: release searches, release look-ups, covers.
    int searches() const;
    int lookups() const;
    int covers() const;
    LoopbackServer& server() { return fServer; }

private:
    int count(const std::string& pattern) const;

    QList<FixtureRelease> fReleases;
    LoopbackServer fServer;
};
