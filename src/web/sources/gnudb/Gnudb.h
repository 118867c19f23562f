#pragma once

#include "web/sources/MusicSource.h"

// gnudb: the same disc database as FreeDB behind another front end; its own
// search page and keys of the form "#GNU:%@/%8.8x".
class Gnudb : public MusicSource {
public:
    static inline const QString kKeyPrefix = QStringLiteral("#GNU:");
    static constexpr const char* kSearchKey = "SearchGNUDB";
    static constexpr const char* kBaseURLKey = "GnudbBaseURL";

    QString name() const override { return QStringLiteral("gnudb"); }
    QString iconName() const override { return QStringLiteral("Gnudb Icon.jpg"); }
    Badge badge() const override { return {QStringLiteral("gn"), 0x2e7d32, 0xffffff}; }
    bool fetchesFavicon() const override { return true; }
    QString keyPrefix() const override { return kKeyPrefix; }
    int serves() const override { return Albums; }
    QString enabledKey() const override { return QString::fromLatin1(kSearchKey); }
    QString baseURLKey() const override { return QString::fromLatin1(kBaseURLKey); }
    QList<Preference> preferences() const override;
    QString searchCaption() const override { return QStringLiteral("Searching gnudb..."); }
    bool searchesArtistAlone() const override { return true; }

    void search(AlbumInfoArray& hits, const QString& searchText,
                const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                ProgressIndicator* progress) const override;
    // Reads a fetched result page; `base` is the address its links start with.
    static void parseSearchPage(AlbumInfoArray& hits, const QString& page, const QString& base,
                                const std::optional<ScoreWeights>& weights,
                                ProgressIndicator* progress);
    // Null for a key without the "#GNU:" prefix or a failed fetch.
    std::shared_ptr<AlbumDetails> details(const QString& key, const SourceOptions& options,
                                          ProgressIndicator* progress) const override;
    // gnudb has no song search: logs and adds nothing.
    void searchSongs(TrackInfoArray& hits, const QString& searchText,
                     const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                     ProgressIndicator* progress) const override;
};
