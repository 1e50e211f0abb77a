// The program's own artwork drawn in code: the brand mark at the top right of the document
// area.
#pragma once

#include <QPixmap>

namespace heatdiag {

// The brand mark for a screen of the given device pixel ratio (cached per ratio).
QPixmap BrandMark(qreal devicePixelRatio);

}  // namespace heatdiag
