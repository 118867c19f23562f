#pragma once

#include "ui/HitListModel.h"

class TrovixDocument;

// The album hits table's view of a folder document's hit list: relevance
// bar, artist, album, year, genre, source icon and score.
class HitsModel : public HitListModel {
    Q_OBJECT
public:
    static inline const QStringList kColumns{"relevance", "artist", "album", "year",
                                             "genre",     "source", "score"};

    explicit HitsModel(TrovixDocument* doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The hit's total score (the relevance bar's length).
    int scoreAt(int row) const;

private:
    TrovixDocument* fDoc;
};
