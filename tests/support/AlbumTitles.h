#pragma once

#include "model/AlbumDetails.h"

#include <QStringList>

// The track titles of an album, in order.
inline QStringList titlesOf(const AlbumDetails& details) {
    QStringList titles;
    for (int i = 0; i < details.numTracks(); ++i)
        titles << details.titleAtIndex(i);
    return titles;
}
