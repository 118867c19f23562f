#pragma once

#include "art/AlbumArtDict.h"

#include <QList>

#include <memory>

// The candidates of one document, best first.
class AlbumArtDictArray {
public:
    using Ptr = std::shared_ptr<AlbumArtDict>;

    qsizetype count() const { return fArray.size(); }
    bool isEmpty() const { return fArray.isEmpty(); }
    // Null outside the list.
    Ptr at(qsizetype index) const {
        return index >= 0 && index < fArray.size() ? fArray[index] : Ptr();
    }
    const QList<Ptr>& array() const { return fArray; }
    auto begin() const { return fArray.cbegin(); }
    auto end() const { return fArray.cend(); }

    // Appends the record itself; null is ignored.
    void add(const Ptr& record) {
        if (record) fArray.append(record);
    }
    // Inserts before the first candidate with a strictly lower score, so
    // equal scores keep their arrival order. Returns the index, -1 for null.
    qsizetype addRanked(const Ptr& record);
    void removeObjectAtIndex(qsizetype index) {
        if (index >= 0 && index < fArray.size()) fArray.removeAt(index);
    }

    // A list of fresh copies of the records, for handing to another thread.
    AlbumArtDictArray deepCopy() const;

    QString description() const;

private:
    QList<Ptr> fArray;
};
