// The mesh warp: every cell of the node grid receives its share of the selection.
#pragma once

#include <cstddef>

#include "mesh/curves.h"
#include "mesh/editing.h"
#include "mesh/node_grid.h"
#include "warp/quad_warp.h"

// The cell between node rows i-1, i and node columns l-1, l, with its source bounds.
QuadWarpJob CellJob(const NodeGrid& grid, size_t i, size_t l, size_t columnCount, size_t rowCount,
                    const SelectionRect& selection);

// Renders every cell in order (later cells win). threads = 0 uses every hardware thread;
// the output is the same for any thread count. Skips a grid that does not match the counts.
void RenderMeshWarp(const PixelBuffer& source, const PixelBuffer& target, const NodeGrid& grid,
                    size_t columnCount, size_t rowCount, const SelectionRect& selection,
                    unsigned threads = 0);

// The warp of an editing state as the program shows and exports it: none while nothing is
// marked (a selection width below 0), otherwise RenderMeshWarp over its grid and curve counts.
void RenderEditorWarp(const PixelBuffer& source, const PixelBuffer& target, const MeshEditState& e,
                      unsigned threads = 0);

// What the copy and the save export: the warp alone on a transparent canvas-sized image
// (canvas measured first, nothing warped while nothing is marked); empty when the canvas is
// too large for a bitmap or its memory cannot be had.
PixelImage RenderResultPixels(MeshEditState& state, const PixelImage& source);

// The same over target rows [rowBegin, rowEnd) only, on the calling thread: those rows get the
// pixels a render of the whole target gives them.
void RenderEditorWarpRows(const PixelBuffer& source, const PixelBuffer& target,
                          const MeshEditState& e, uint32_t rowBegin, uint32_t rowEnd);

// How many rows from the top of a source of `sourceHeight` rows RenderEditorWarpRows may read
// for target rows [rowBegin, rowEnd): every cell that may write there reads within its source
// rectangle, and the row below it for the bilinear neighbours. `sourceHeight` when it cannot
// be told (a coordinate that is not finite).
uint32_t EditorWarpSourceRows(const MeshEditState& e, uint32_t sourceHeight, uint32_t rowBegin,
                              uint32_t rowEnd);
