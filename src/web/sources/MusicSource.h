#pragma once

#include "model/AlbumInfo.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class AlbumDetails;
class AlbumInfoArray;
class ProgressIndicator;
class TrackInfoArray;

// One music site as the look-up sees it: what it is called, which hits it
// serves, how it searches and how it fetches the details of one of its hits.
// Sites register in MusicSources; documents, result keys, saved searches and
// the command line ask the registry instead of naming sites.
class MusicSource {
public:
    enum Serves { Albums = 1, Songs = 2 };

    virtual ~MusicSource() = default;

    // Shown in hit tables, the legend and the command line's output.
    virtual QString name() const = 0;
    // The bundled icon's resource name.
    virtual QString iconName() const = 0;
    // What result keys of its hits start with; empty for a site whose keys
    // carry no prefix (it then only answers keys no other source claims).
    virtual QString keyPrefix() const = 0;
    virtual int serves() const = 0;
    // The preference that turns its searches on, and every key it reads.
    virtual QString enabledKey() const = 0;
    virtual QStringList preferenceKeys() const = 0;
    // The progress caption of its album search.
    virtual QString searchCaption() const = 0;

    // Adds its album hits for search terms ("artist / album") to the list.
    virtual void search(AlbumInfoArray& hits, const QString& terms,
                        const std::optional<ScoreWeights>& weights,
                        ProgressIndicator* progress) const = 0;
    // Adds its song hits; sites without song searches add nothing.
    virtual void searchSongs(TrackInfoArray& hits, const QString& terms,
                             const std::optional<ScoreWeights>& weights,
                             ProgressIndicator* progress) const;
    // Re-runs a saved search: by default the saved terms searched again
    // (none when there are no terms).
    virtual void savedSearch(AlbumInfoArray& hits, const QString& terms, const QString& key,
                             const std::optional<ScoreWeights>& weights,
                             ProgressIndicator* progress) const;
    // The album behind one of its result keys; null when the fetch fails.
    virtual std::shared_ptr<AlbumDetails> details(const QString& key,
                                                  ProgressIndicator* progress) const = 0;
    // The cover image address of fetched details; empty when there is none.
    virtual QString coverAddress(const AlbumDetails& details) const;

    bool ownsKey(const QString& key) const;
};
