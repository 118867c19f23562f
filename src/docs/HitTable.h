#pragma once

#include "model/AlbumInfoArray.h"

#include <QString>

#include <memory>

class AlbumDetails;

// The album hits table as data: its own copy of the hit list, the selected
// row and the texts of its columns. The window's table view mirrors it.
class HitTable {
public:
    // Replaces the own copy (null for none) and clears nothing else: the
    // document decides the selection.
    void setAlbumArray(const std::shared_ptr<AlbumInfoArray>& hits);
    std::shared_ptr<AlbumInfoArray> albumArray() const { return fAlbumInfoArray; }
    qsizetype count() const { return fAlbumInfoArray ? fAlbumInfoArray->count() : 0; }
    AlbumInfoPtr hitAt(qsizetype row) const;

    int selectedRow() const { return fSelectedRow; }
    // -1 (or any row outside the list) clears the selection.
    void selectRow(int row);

    // The result key of the selected hit; null when none is selected.
    QString resultKey() const;

    // Attaches a copy of the details to the hit at the row when it has none.
    // True when the row is valid (the view then reloads).
    bool addAlbumDetails(const std::shared_ptr<AlbumDetails>& details, qsizetype row);

    // Sorts by a column ("artist", "album", "genre", "year", "relevance");
    // false for other columns. The selection follows its hit.
    bool sortByColumn(const QString& identifier);

    // Cell text of a column: "artist", "album", "year", "genre", "score".
    // "year" and "genre" read "..." while the hit has no details and "(none)"
    // when its details lack the value.
    QString cellText(qsizetype row, const QString& column) const;

private:
    std::shared_ptr<AlbumInfoArray> fAlbumInfoArray;
    int fSelectedRow = -1;
};
