#pragma once

#include "web/sources/MusicSource.h"

#include <QString>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class SiteThrottle;
class ProgressIndicator;
class TrackInfo;
class TrackInfoArray;
struct Window;

// Google Music: album hits (from a result list or a single-album page), song
// hits over several pages, and album details with the ordered titles.
// Requests go to the "GoogleBaseURL" preference; fetches hold the Google
// throttle.
class GoogleMusic : public MusicSource {
public:
    // Its fetches are paced 2.5 s apart, process-wide.
    static SiteThrottle& throttle();

    static inline const QString kKeyPrefix = QStringLiteral("#GOOG:");
    static constexpr const char* kSearchKey = "SearchGOOG";
    static constexpr const char* kBaseURLKey = "GoogleBaseURL";

    QString name() const override { return QStringLiteral("Google Music"); }
    QString iconName() const override { return QStringLiteral("Google Icon.ico"); }
    Badge badge() const override { return {QStringLiteral("G"), 0xffffff, 0x4285f4}; }
    bool fetchesFavicon() const override { return true; }
    QString keyPrefix() const override { return kKeyPrefix; }
    int serves() const override { return Albums | Songs; }
    QString enabledKey() const override { return QString::fromLatin1(kSearchKey); }
    QString baseURLKey() const override { return QString::fromLatin1(kBaseURLKey); }
    QList<Preference> preferences() const override;
    QString searchCaption() const override { return QStringLiteral("Searching Google Music..."); }
    SongRanking songRanking() const override { return SongRanking::ByTypedFields; }

    // The window location a song-row read leaves when the list is exhausted.
    static constexpr qsizetype kNotFound = -1;

    // Search-page addresses for the browser: the text loses a leading
    // article and is percent-escaped (not squeezed). A null text gives no URL.
    // The base address is the options' (SourceOptions::baseURL).
    bool hasSearchPages() const override { return true; }
    QString browseURL(PageSubject subject, const QString& text,
                      const SourceOptions& options) const override;

    void search(AlbumInfoArray& hits, const QString& searchText,
                const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                ProgressIndicator* progress) const override;
    // Reads a fetched album search page into ranked hits: its list, or the
    // one album a page shows; `base` is the site's address.
    static void parseAlbumSearchPage(AlbumInfoArray& hits, const QString& page, const QString& base,
                                     const std::optional<ScoreWeights>& weights,
                                     ProgressIndicator* progress);
    // One album of a result list, the window moved behind it; null at the end.
    static std::shared_ptr<AlbumInfo> AlbumInfoFromGOOGHtml_multiple(const QString& page,
                                                                     Window& window);
    // The album of a page that shows one album, or null; `base` is the
    // site's address, which the page's own links start with.
    static std::shared_ptr<AlbumInfo> AlbumInfoFromGOOGHtml_single(const QString& page,
                                                                   const QString& base);

    void searchSongs(TrackInfoArray& hits, const QString& searchText,
                     const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                     ProgressIndicator* progress) const override;
    // Consumes two table rows and parses the second. Null for a row with a
    // missing field (the walk goes on); sets the window's location to
    // kNotFound when the list is exhausted.
    static std::shared_ptr<TrackInfo> TrackInfoWithGOOGHtml(const QString& list, Window& window);

    // Null for a key without "#GOOG:", a failed fetch or a page without tracks.
    std::shared_ptr<AlbumDetails> details(const QString& key, const SourceOptions& options,
                                          ProgressIndicator* progress) const override;
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromGOOGHtml(const QString& page,
                                                                  const QString& key);

private:
    static QString lookupString(const QString& base, const QString& text, const char* resource);
};
