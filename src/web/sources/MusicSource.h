#pragma once

#include "model/AlbumInfo.h"
#include "tags/TagValues.h"
#include "text/SearchTerms.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class ProgressIndicator;
class TrackInfoArray;
struct SourceOptions;

// One music site as the look-up sees it: what it is called, which hits it
// serves, how it searches and how it fetches the details of one of its hits.
// Sites register in MusicSources; documents, result keys, saved searches,
// preferences, icons and the command line ask the registry instead of naming
// sites. Every call gets the look-up's options: sources never read the
// settings store themselves.
class MusicSource {
public:
    enum Serves { Albums = 1, Songs = 2 };
    // How the single-file document weighs this site's song hits: by the
    // artist of the search terms, or by the typed title, album and artist.
    enum class SongRanking { ByArtist, ByTypedFields };

    // A preference the site owns, with its registered default. A base
    // address other than the site's own carries the name the preferences
    // window shows it under.
    struct Preference {
        QString key;
        QVariant defaultValue;
        QString label = QString();
    };
    // The stand-in icon drawn until (or unless) a site icon is fetched.
    struct Badge {
        QString text;
        quint32 background = 0; // 0xRRGGBB
        quint32 foreground = 0;
    };

    virtual ~MusicSource() = default;

    // Shown in hit tables, the legend, the preferences and the command
    // line's output.
    virtual QString name() const = 0;
    // The bundled icon's resource name.
    virtual QString iconName() const = 0;
    virtual Badge badge() const = 0;
    // Whether the site's own "/favicon.ico" replaces the badge.
    virtual bool fetchesFavicon() const { return false; }
    // What result keys of its hits start with; empty for a site whose keys
    // carry no prefix (it then answers the keys no other source claims).
    virtual QString keyPrefix() const = 0;
    virtual int serves() const = 0;
    // The preference that turns its searches on, the one holding its base
    // address, and every preference it owns (both of those included).
    virtual QString enabledKey() const = 0;
    virtual QString baseURLKey() const = 0;
    virtual QList<Preference> preferences() const = 0;
    QStringList preferenceKeys() const;
    // The progress caption of its album search.
    virtual QString searchCaption() const = 0;
    // Sites that match whole phrases are asked a second time with the
    // artist alone.
    virtual bool searchesArtistAlone() const { return false; }
    virtual SongRanking songRanking() const { return SongRanking::ByArtist; }

    // What a site's own search page is asked about.
    enum class PageSubject { Artist, Album, Song };
    // Whether the site has search pages that the Web menu opens in the
    // browser.
    virtual bool hasSearchPages() const { return false; }
    // The address of the site's search page for the text, on the base
    // address `options` holds; empty for a null text or a site without pages.
    virtual QString browseURL(PageSubject subject, const QString& text,
                              const SourceOptions& options) const;

    // Adds its album hits for search terms ("artist / album") to the list.
    virtual void search(AlbumInfoArray& hits, const QString& terms,
                        const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                        ProgressIndicator* progress) const = 0;
    // The same for terms that may carry the fields they were composed
    // from: by default a search of their text.
    virtual void searchAlbums(AlbumInfoArray& hits, const SearchTerms& terms,
                              const std::optional<ScoreWeights>& weights,
                              const SourceOptions& options, ProgressIndicator* progress) const;
    // Adds its song hits; sites without song searches add nothing.
    virtual void searchSongs(TrackInfoArray& hits, const QString& terms,
                             const std::optional<ScoreWeights>& weights,
                             const SourceOptions& options, ProgressIndicator* progress) const;
    // Re-runs a saved album search: by default the saved terms searched
    // again (none when there are no terms).
    virtual void savedSearch(AlbumInfoArray& hits, const QString& terms, const QString& key,
                             const std::optional<ScoreWeights>& weights,
                             const SourceOptions& options, ProgressIndicator* progress) const;
    // Re-runs a saved song search: the saved terms searched again.
    virtual void savedSongSearch(TrackInfoArray& hits, const QString& terms, const QString& key,
                                 const std::optional<ScoreWeights>& weights,
                                 const SourceOptions& options, ProgressIndicator* progress) const;
    // The album behind one of its result keys; null when the fetch fails.
    virtual std::shared_ptr<AlbumDetails> details(const QString& key, const SourceOptions& options,
                                                  ProgressIndicator* progress) const = 0;
    // The result key of the album that identifiers in the files' tags name
    // (its own, as a save from one of its hits writes them); empty when the
    // tags carry none of this site's.
    virtual QString keyForTags(const TagValues& tags) const;
    // The cover image address of fetched details; empty when there is none.
    virtual QString coverAddress(const AlbumDetails& details) const;

    bool ownsKey(const QString& key) const;
};
