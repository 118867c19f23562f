#include "art/AlbumArtDictArray.h"

qsizetype AlbumArtDictArray::addRanked(const Ptr& record) {
    if (!record) return -1;
    const int score = record->score();
    qsizetype index = 0;
    while (index < fArray.size() && fArray[index]->score() >= score)
        ++index;
    fArray.insert(index, record);
    return index;
}

AlbumArtDictArray AlbumArtDictArray::deepCopy() const {
    AlbumArtDictArray copy;
    copy.fArray.reserve(fArray.size());
    for (const Ptr& record : fArray)
        copy.fArray.append(record->copy());
    return copy;
}

QString AlbumArtDictArray::description() const {
    QString text = QStringLiteral("AlbumArtDictArray array at %1, %2 items.\n")
                       .arg(quintptr(this), 0, 16)
                       .arg(fArray.size());
    for (const Ptr& record : fArray)
        text += record->description();
    return text;
}
