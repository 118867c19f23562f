#include "model/AlbumDetailsArray.h"

AlbumDetailsPtr AlbumDetailsArray::joinedDiscs() const {
    if (fArray.isEmpty()) return nullptr;
    AlbumDetailsPtr joined = fArray.first()->copy();
    for (qsizetype i = 1; i < fArray.size(); ++i)
        joined->appendTitlesFrom(*fArray[i]);
    return joined;
}
