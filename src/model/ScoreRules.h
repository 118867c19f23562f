#pragma once

#include "model/AlbumInfo.h"

#include <QString>

class TrackInfo;

// How hits are ranked against what the user has: pure rules over the hits'
// keys, shared by the documents, which pick them, and the look-up workers,
// which apply them.
namespace ScoreRules {

// An album hit against the search terms, and the genre and year the folder's
// tags give (null when unknown).
ScoreWeights folderSearch(const QString& terms, const QString& genre, const QString& year);
// A song hit by its artist alone.
ScoreWeights songArtist(const QString& artist);
// A song hit against the values typed in: for sources that do not rank by
// artist alone.
ScoreWeights songTypedIn(const TrackInfo& typedIn);

} // namespace ScoreRules
