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

// All Music Guide: album hits, song hits (following the site's result pages),
// album details with performers and a cover address, and the look-ups that
// open the site's own search pages in the browser. Requests go to the
// "AMGBaseURL" preference; fetches hold the AMG throttle.
class AllMusicGuide : public MusicSource {
public:
    // Its fetches are paced 2.5 s apart, process-wide.
    static SiteThrottle& throttle();

    static inline const QString kKeyPrefix = QStringLiteral("#AMG:");
    static constexpr const char* kSearchKey = "SearchAMG";
    static constexpr const char* kBaseURLKey = "AMGBaseURL";

    QString name() const override { return QStringLiteral("All Music Guide"); }
    QString iconName() const override { return QStringLiteral("AMG Icon.ico"); }
    Badge badge() const override { return {QStringLiteral("AM"), 0x1f4e8c, 0xffffff}; }
    bool fetchesFavicon() const override { return true; }
    QString keyPrefix() const override { return kKeyPrefix; }
    int serves() const override { return Albums | Songs; }
    QString enabledKey() const override { return QString::fromLatin1(kSearchKey); }
    QString baseURLKey() const override { return QString::fromLatin1(kBaseURLKey); }
    QList<Preference> preferences() const override;
    QString searchCaption() const override {
        return QStringLiteral("Searching All Music Guide...");
    }

    // Search-page addresses for the browser. The text loses a leading
    // article, is squeezed and is percent-escaped. A null text gives no URL.
    // The base address is the options' (SourceOptions::baseURL).
    bool hasSearchPages() const override { return true; }
    QString browseURL(PageSubject subject, const QString& text,
                      const SourceOptions& options) const override;

    // Album search: only the album part of "artist / album" is sent.
    void search(AlbumInfoArray& hits, const QString& searchText,
                const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                ProgressIndicator* progress) const override;
    // Reads a fetched album search page into ranked hits.
    static void parseAlbumSearchPage(AlbumInfoArray& hits, const QString& page,
                                     const std::optional<ScoreWeights>& weights,
                                     ProgressIndicator* progress);
    // One row of the album search results, the window moved behind it; null
    // when no complete row follows.
    static std::shared_ptr<AlbumInfo> AlbumInfoFromAMGAlbumSearchResults(const QString& page,
                                                                         Window& window);

    // Song search: the first result of the title search is followed through
    // its pages of recordings or its track page, then "Next page" links.
    void searchSongs(TrackInfoArray& hits, const QString& searchText,
                     const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                     ProgressIndicator* progress) const override;
    // The first result of the title search: hands out the song's title and
    // identifier; 0 when a field is missing, else the number in its row.
    static int parseFuzzySongSearchResults(const QString& page, Window& window, QString* title,
                                           QString* songSQL);
    // One row of a recording list; the window moves only on success.
    static std::shared_ptr<TrackInfo>
    TrackInfoFromSongSearchResults(const QString& page, const QString& title, Window& window);
    // One album entry of a track page. With a previous hit, the new one is a
    // copy of its values with this entry's key and comparison text.
    static std::shared_ptr<TrackInfo> TrackInfoFromTrackPage(const QString& page,
                                                             const QString& title, Window& window,
                                                             const TrackInfo* old);

    // Null for a key without "#AMG:" or when the page cannot be fetched.
    std::shared_ptr<AlbumDetails> details(const QString& key, const SourceOptions& options,
                                          ProgressIndicator* progress) const override;
    // Never null: missing fields stay unset, a missing track table gives no
    // titles.
    static std::shared_ptr<AlbumDetails> AlbumDetailsFromAMGAlbumDescription(const QString& page,
                                                                             const QString& key);
    // A table cell without tags, entities, surrounding white space and " [#]".
    static QString amgRowString(const QString& cell);

private:
    static QString lookupString(const QString& base, const QString& text, const char* option);
};
