#pragma once

#include "web/sources/MusicSource.h"

class WebThrottle;

// MusicBrainz album searches and release look-ups, with covers from the
// Cover Art Archive. Requests carry the User-Agent the service asks for and
// are at least one second apart, process-wide.
class MusicBrainz : public MusicSource {
public:
    static constexpr const char* kSearchKey = "SearchMB";
    static constexpr const char* kBaseURLKey = "MusicBrainzBaseURL";
    static constexpr const char* kCoverBaseURLKey = "CoverArtArchiveBaseURL";

    QString name() const override { return QStringLiteral("MusicBrainz"); }
    QString iconName() const override { return QStringLiteral("MusicBrainzIcon.png"); }
    Badge badge() const override { return {QStringLiteral("MB"), 0xe8902a, 0x000000}; }
    QString keyPrefix() const override;
    int serves() const override { return Albums; }
    QString enabledKey() const override { return QString::fromLatin1(kSearchKey); }
    QString baseURLKey() const override { return QString::fromLatin1(kBaseURLKey); }
    QList<Preference> preferences() const override;
    QString searchCaption() const override { return QStringLiteral("Searching MusicBrainz..."); }

    void search(AlbumInfoArray& hits, const QString& terms,
                const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                ProgressIndicator* progress) const override;
    // The artist and album fields themselves when the terms carry them.
    void searchAlbums(AlbumInfoArray& hits, const SearchTerms& terms,
                      const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                      ProgressIndicator* progress) const override;
    // A direct look-up of the saved release: no search.
    void savedSearch(AlbumInfoArray& hits, const QString& terms, const QString& key,
                     const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                     ProgressIndicator* progress) const override;
    std::shared_ptr<AlbumDetails> details(const QString& key, const SourceOptions& options,
                                          ProgressIndicator* progress) const override;
    // The release of the tags' release id; the medium of their disc number
    // when they count several.
    QString keyForTags(const TagValues& tags) const override;

    // The Lucene query for search terms: the album as release, the artist
    // as artist, except for various artists; values escaped. Typed terms
    // ("artist / album") are split at their first " / ", the fields' own
    // composition is not split at all.
    static QString searchQuery(const SearchTerms& terms);
    // Every Lucene special character preceded by a backslash.
    static QString escapeLucene(const QString& value);
    static QByteArray userAgent(const QString& homePage);
    static WebThrottle* throttle();
};
