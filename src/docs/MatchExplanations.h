#pragma once

#include <QString>

class TrovixDocument;

// The match distance in words for the window's tool tips: a hit's distance
// and its largest parts, and for a track row what its file and the applied
// album's title at that row have in common.
namespace MatchExplanations {

// "Distance 0.12: lengths 0.06 (…), …"; null for a hit without details.
QString hitTip(const TrovixDocument& doc, int row);
// "length 3:41 vs 3:44, title 96 %"; null when no album is applied.
QString trackTip(const TrovixDocument& doc, qsizetype row);

} // namespace MatchExplanations
