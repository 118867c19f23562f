#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class FileTagDocument;

// The song hits table's view of a single-file document's hits: relevance
// bar, status letters, source icon, title, artist, album, year, genre and
// the track ("n/m").
class SongHitsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static inline const QStringList kColumns{"relevance", "status", "source", "title", "artist",
                                             "album",     "year",   "genre",  "track"};

    explicit SongHitsModel(FileTagDocument* doc, QObject* parent = nullptr);

    QString columnId(int section) const { return kColumns.value(section); }
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The hit's total score (the relevance bar's length).
    int scoreAt(int row) const;

private:
    FileTagDocument* fDoc;
};
