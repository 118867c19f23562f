#pragma once

#include "model/TitleMatcher.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class AlbumDetails;
class AlbumInfo;
class AudioTrackArray;

// How far an album hit is from what a folder holds: 0 when everything
// agrees, 1 when nothing does. It is a weighted mean of parts that each say
// what they compared, so a user can see why a hit matches or not. Parts the
// folder or the hit tells nothing about are left out and the others keep
// their proportions. The hit's rank in its list is not changed by it.
class MatchDistance {
public:
    struct Part {
        QString name;      // "tracks", "titles", "lengths", "artist", "album", "year", "discs"
        double weight = 0; // its share when every part is known
        double value = 0;  // 0 (agrees) to 1 (disagrees)
        QString why;       // what was compared, e.g. "10 files, 11 tracks: 1 missing"
        double share = 0;  // what it adds to the distance
    };
    // One title of the hit and the file the title-to-file matching gave it.
    struct Track {
        int file = -1;          // index into the folder's files; -1: none left
        int titleLikeness = -1; // 0 to 100; -1 with no file
        int fileSecs = 0;       // 0: unknown
        std::optional<int> hitSecs;
        // "length 3:41 vs 3:44, title 96 %"
        QString explanation() const;
    };

    // What the folder tells, gathered once per folder: its files in list
    // order (placeholders left out) and its album as tags and names say it.
    struct Folder {
        std::vector<TitleMatcher::Record> files;
        QStringList fileArtists; // each file's artist tag
        QStringList artists;     // candidates for the album artist, best first
        QStringList albums;
        QString year;
        int discs = 1;

        static Folder fromTracks(const AudioTrackArray& tracks, const AlbumDetails* fromTags,
                                 const AlbumDetails* fromNames);
    };

    // Null for a hit without details, and for the hits made from the
    // folder's own tags and names.
    static std::optional<MatchDistance> compute(const Folder& folder, const AlbumInfo& hit);
    static MatchDistance compute(const Folder& folder, const AlbumDetails& details);
    // From what a search hit tells before its details are fetched: track
    // count, artist, album and year.
    static MatchDistance estimate(const Folder& folder, const AlbumInfo& hit);

    double value() const { return fValue; }
    // Every known part, in a fixed order.
    const QList<Part>& parts() const { return fParts; }
    // The parts that add most, largest first (parts adding nothing left out).
    QList<Part> largestParts(int count) const;
    // One per title of the hit, in album order.
    const std::vector<Track>& tracks() const { return fTracks; }
    // "0.12: lengths 0.06 (…), titles 0.04 (…)": the distance and its largest parts.
    QString summary(int count = 3) const;

    // Likeness of two names ignoring case and spacing, 0 to 100, either order.
    static int likeness(const QString& a, const QString& b);
    // "3:41"
    static QString clock(int seconds);

private:
    void addPart(const QString& name, double weight, double value, const QString& why);
    void addCountPart(int files, int tracks);
    void addArtistPart(const Folder& folder, const QString& artist);
    void addAlbumParts(const Folder& folder, const QString& album, const QString& year);
    void finish();

    double fValue = 0;
    QList<Part> fParts;
    std::vector<Track> fTracks;
};
