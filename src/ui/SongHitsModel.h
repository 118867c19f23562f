#pragma once

#include "ui/HitListModel.h"

class FileTagDocument;

// The song hits table's view of a single-file document's hits: relevance
// bar, status letters, source icon, title, artist, album, year, genre and
// the track ("n/m").
class SongHitsModel : public HitListModel {
    Q_OBJECT
public:
    static inline const QStringList kColumns{"relevance", "status", "source", "title", "artist",
                                             "album",     "year",   "genre",  "track"};

    explicit SongHitsModel(FileTagDocument* doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The hit's total score (the relevance bar's length).
    int scoreAt(int row) const;

private:
    FileTagDocument* fDoc;
};
