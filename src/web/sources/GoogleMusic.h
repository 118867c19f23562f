#pragma once

#include "model/AlbumInfo.h"

#include <QString>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class ProgressIndicator;
class TrackInfo;
class TrackInfoArray;
struct Window;

// Google Music: album hits (from a result list or a single-album page), song
// hits over several pages, and album details with the ordered titles.
// Requests go to the "GoogleBaseURL" preference; fetches hold the Google
// throttle.
class GoogleMusic {
public:
    static inline const QString kKeyPrefix = QStringLiteral("#GOOG:");
    // The window location a song-row read leaves when the list is exhausted.
    static constexpr qsizetype kNotFound = -1;

    // Look-ups in the browser and their addresses: the text loses a leading
    // article and is percent-escaped (not squeezed). A null text gives no URL.
    static void lookUpArtist(const QString& artist);
    static void lookUpAlbum(const QString& album);
    static void lookUpSong(const QString& song);
    static QString artistLookupString(const QString& artist);
    static QString albumLookupString(const QString& album);
    static QString songLookupString(const QString& song);

    static void addAlbumHitsFromGOOG(AlbumInfoArray& hits, const QString& searchText,
                                     const std::optional<ScoreWeights>& weights,
                                     ProgressIndicator* progress);
    // One album of a result list, the window moved behind it; null at the end.
    static std::shared_ptr<AlbumInfo> AlbumInfoFromGOOGHtml_multiple(const QString& page,
                                                                    Window& window);
    // The album of a page that shows one album, or null.
    static std::shared_ptr<AlbumInfo> AlbumInfoFromGOOGHtml_single(const QString& page);

    static void addTrackHitsFromGOOG(TrackInfoArray& hits, const QString& searchText,
                                     const std::optional<ScoreWeights>& weights,
                                     ProgressIndicator* progress);
    // Consumes two table rows and parses the second. Null for a row with a
    // missing field (the walk goes on); sets the window's location to
    // kNotFound when the list is exhausted.
    static std::shared_ptr<TrackInfo> TrackInfoWithGOOGHtml(const QString& list, Window& window);

    // Null for a key without "#GOOG:", a failed fetch or a page without tracks.
    static std::shared_ptr<AlbumDetails> AlbumDetailsWithGOOGKey(const QString& key,
                                                                ProgressIndicator* progress);
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromGOOGHtml(const QString& page,
                                                                 const QString& key);

private:
    static QString lookupString(const QString& text, const char* resource);
};
