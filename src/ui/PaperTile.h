#pragma once

#include <QImage>
#include <QPixmap>

namespace ui {

// The light grey paper that plain-sheet views are tiled with, 159 x 160.
// Drawn once per run and shared by every window that shows it.
QPixmap paperTile();

// The drawing itself: grain and faint fibres from a fixed seed, so the paper
// is the same at every start; fibres wrap at the edges, so the tile repeats
// without seams.
QImage drawPaperTile();

} // namespace ui
