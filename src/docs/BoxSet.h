#pragma once

#include "model/AlbumDetails.h"
#include "model/AlbumDetailsArray.h"

#include <QList>
#include <QString>

#include <memory>

// The box-set list: several albums (the discs of a set) whose titles are
// applied to one folder as one long album. UI-free; the box-set sheet shows
// it. The list is absent (null) while empty.
class BoxSet {
public:
    // Appends the details (ignored when null); creates the list when needed.
    void addTrackList(const AlbumDetailsPtr& details);
    // Removes one album; the list is dropped when it becomes empty.
    void removeTrackList(qsizetype index);
    // Removes the selected rows, each index adjusted for those already taken.
    void clear(QList<qsizetype> rows);

    std::shared_ptr<AlbumDetailsArray> albumDetailsArray() const { return fAlbumDetailsArray; }
    AlbumDetailsPtr albumDetailsForAlbumP(qsizetype index) const;
    qsizetype count() const { return fAlbumDetailsArray ? fAlbumDetailsArray->count() : 0; }
    bool isEmpty() const { return count() == 0; }

    // One row: "%@ / %@" with the album's artist and name ("" for a missing part).
    QString rowText(qsizetype row) const;
    // The number of albums and the sum of their titles.
    void getNumberOfCDs(int* cds, int* tracks) const;
    // The caption of the box-set sheet.
    QString caption() const;
    static QString captionFor(int cds, int tracks);

    // Reorders after a drop between rows; the new rows of the moved albums.
    QList<qsizetype> acceptDrop(const QList<qsizetype>& rows, qsizetype dropRow);

private:
    std::shared_ptr<AlbumDetailsArray> fAlbumDetailsArray;
};
