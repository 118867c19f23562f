#pragma once

#include "web/sources/MusicSource.h"

// A site whose request builders and page parsers are a class of static
// functions: the registry reaches them through this adapter, so their
// requests, texts and log lines stay exactly as they are.
class LegacySource : public MusicSource {
public:
    using AlbumSearch = void (*)(AlbumInfoArray&, const QString&,
                                 const std::optional<ScoreWeights>&, ProgressIndicator*);
    using SongSearch = void (*)(TrackInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                                ProgressIndicator*);
    using Details = std::shared_ptr<AlbumDetails> (*)(const QString&, ProgressIndicator*);

    struct Description {
        QString name;
        QString iconName;
        QString keyPrefix;
        QString enabledKey;
        QString baseURLKey;
        QString searchCaption;
        AlbumSearch albums = nullptr;
        SongSearch songs = nullptr;
        Details details = nullptr;
    };

    explicit LegacySource(Description description) : fDescription(std::move(description)) {}

    QString name() const override { return fDescription.name; }
    QString iconName() const override { return fDescription.iconName; }
    QString keyPrefix() const override { return fDescription.keyPrefix; }
    int serves() const override;
    QString enabledKey() const override { return fDescription.enabledKey; }
    QStringList preferenceKeys() const override;
    QString searchCaption() const override { return fDescription.searchCaption; }

    void search(AlbumInfoArray& hits, const QString& terms,
                const std::optional<ScoreWeights>& weights,
                ProgressIndicator* progress) const override;
    void searchSongs(TrackInfoArray& hits, const QString& terms,
                     const std::optional<ScoreWeights>& weights,
                     ProgressIndicator* progress) const override;
    std::shared_ptr<AlbumDetails> details(const QString& key,
                                          ProgressIndicator* progress) const override;

private:
    Description fDescription;
};
