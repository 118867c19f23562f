#pragma once

#include "library/LibraryRecord.h"

#include <QAbstractTableModel>
#include <QList>

#include <optional>

// The library window's table: one row per entry of the library, with its
// status, best hit, distance and what a save would change (or why it is
// queued or failed); a status filter hides the other rows.
class LibraryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kFolder, kStatus, kBestHit, kDistance, kChanges, kColumnCount };

    explicit LibraryTableModel(QObject* parent = nullptr);

    void setRecords(const QList<LibraryRecord>& records);
    // Replaces the row of the record's entry (by any of its album folders),
    // or adds one.
    void update(const LibraryRecord& record);
    // None shows every row.
    void setFilter(std::optional<LibraryRecord::Status> status);
    // The record shown at a row; null outside the rows.
    const LibraryRecord* recordAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void refilter();

    QList<LibraryRecord> fRecords;
    QList<int> fShown; // indexes into fRecords
    std::optional<LibraryRecord::Status> fFilter;
};
