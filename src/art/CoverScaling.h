#pragma once

#include "system/Picture.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

class AlbumArtDict;
struct CoverOptions;

// The factor by which a cover is scaled before it is embedded in tags, from
// the options' resize settings: 1.0 with resizing off, else the factor that
// brings the longer side (the height for a square) to resizePixels, held at
// 1.0 from below by option 1 (only enlarge) or from above by option 2 (only
// shrink). 1.0 for an empty size.
double computeFactor(QSize pictureSize, const CoverOptions& options);

// The picture to embed: a new image of the picture scaled by computeFactor.
// Null, and logged, when the new image cannot be made.
Picture scaledImage(const Picture& picture, const CoverOptions& options);

// The tool tip of a view showing this candidate: "(No image)" without a
// candidate, source or picture; else by source. Null for a source the rule
// does not know: the view keeps the tool tip it had.
QString toolTipForCandidate(const AlbumArtDict* candidate);

// A rectangle of the same size whose centre is the point.
QRectF centerRect(QRectF rect, QPointF point);
