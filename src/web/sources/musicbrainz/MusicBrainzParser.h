#pragma once

#include "model/AlbumInfo.h"
#include "web/WebLimits.h"

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QString>

#include <memory>

class AlbumDetails;

// Pure parsers of the MusicBrainz web service's JSON answers. The input is
// treated as hostile: a document that is not JSON, a field of the wrong type
// or an oversized list ends in a failure with a reason, never a crash.
class MusicBrainzParser {
public:
    static inline const QString kKeyPrefix = QStringLiteral("#MB:");
    // More than this many releases, media or tracks (on the media taken) is
    // not a real answer.
    static constexpr int kMaxReleases = 100;
    static constexpr int kMaxMedia = WebLimits::kMaxMedia;
    static constexpr int kMaxTracks = WebLimits::kMaxTracks;

    struct SearchResult {
        QList<AlbumInfoPtr> hits; // one per medium, in the answer's order
        QString error;            // null on success
    };
    struct ReleaseResult {
        std::shared_ptr<AlbumDetails> details;
        bool frontCover = false; // the Cover Art Archive holds a front image
        QString error;
    };

    // A release search answer: one hit per medium, album "<title> (Disc n)"
    // and key "#MB:<id>/<n>" when a release has several, else "#MB:<id>".
    static SearchResult parseSearch(const QByteArray& json);
    // A release look-up answer; `disc` 0 takes every medium, n the n-th of
    // several (titled "<title> (Disc n)"). The album's and every track's
    // identifiers come along, and a track of a release of several media
    // carries its disc as n of m; a release credited to "various artists" is
    // a compilation.
    static ReleaseResult parseRelease(const QByteArray& json, int disc);

    // The release id and disc number of a key; none for another source's key.
    struct KeyParts {
        QString releaseId;
        int disc = 0;
    };
    static std::optional<KeyParts> splitKey(const QString& key);
    static QString makeKey(const QString& releaseId, int disc);

    // MusicBrainz's own artist for compilations.
    static inline const QString kVariousArtistsId =
        QStringLiteral("89ad4ac3-39f7-470e-963a-56509c546377");

    // Artist-credit names joined by their join phrases; null for no credit.
    static QString artistCredit(const QJsonArray& credits);
    // The credited artists' identifiers, each once, in credit order, apart
    // as TagValues keeps several values.
    static QString artistIds(const QJsonArray& credits);
    static bool isVariousArtists(const QJsonArray& credits);
};
