#pragma once

#include "web/sources/MusicSource.h"

// FreeDB: album search by words (artist and title fields) and the disc record
// of one CD turned into album details. Keys carry no prefix: "%@/%8.8x"
// (category, disc id), so FreeDB answers every key no other source claims.
class FreeDB : public MusicSource {
public:
    static constexpr const char* kSearchKey = "SearchFreeDB";
    static constexpr const char* kBaseURLKey = "FreeDBBaseURL";

    QString name() const override { return QStringLiteral("FreeDB"); }
    QString iconName() const override { return QString(); }
    Badge badge() const override { return {}; }
    QString keyPrefix() const override { return QString(); }
    int serves() const override { return Albums; }
    QString enabledKey() const override { return QString::fromLatin1(kSearchKey); }
    QString baseURLKey() const override { return QString::fromLatin1(kBaseURLKey); }
    QList<Preference> preferences() const override;
    QString searchCaption() const override { return QStringLiteral("Searching FreeDB..."); }
    bool searchesArtistAlone() const override { return true; }
    // Its saved searches are not re-run (its bare keys say too little).
    void savedSearch(AlbumInfoArray&, const QString&, const QString&,
                     const std::optional<ScoreWeights>&, const SourceOptions&,
                     ProgressIndicator*) const override {}

    // Searches and offers every result to the list (no per-source cap).
    // Silent on failure; a cancelled search keeps the hits added so far.
    void search(AlbumInfoArray& hits, const QString& searchText,
                const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                ProgressIndicator* progress) const override;
    // Reads a fetched result page; `base` is the address its links start with.
    static void parseSearchPage(AlbumInfoArray& hits, const QString& page, const QString& base,
                                const std::optional<ScoreWeights>& weights,
                                ProgressIndicator* progress);
    // The details of a FreeDB key, or null.
    std::shared_ptr<AlbumDetails> details(const QString& key, const SourceOptions& options,
                                          ProgressIndicator* progress) const override;
};
