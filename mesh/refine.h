// Mesh refinement (a mean curve between every two neighbours) and reset.
#pragma once

#include "mesh/edit_history.h"
#include "mesh/editing.h"

#include <cstdint>

// The largest mesh a refinement makes: each refinement about doubles both families and
// quadruples the grid, so holding W down would otherwise go on until memory runs out, with
// every step slower than the one before. At the bounds the grid takes 64 MiB and each
// family 32 MiB of points.
inline constexpr uint64_t kMaxRefinedNodes = uint64_t(1) << 22;
inline constexpr uint64_t kMaxRefinedPointsPerFamily = uint64_t(1) << 22;

void InsertMidCurves(CurveSet& set);
// Whether the refined mesh stays within the bounds above.
bool RefinementFits(const CurveSet& columns, const CurveSet& rows);
// Refines both families and recomputes the grid; false (mesh unchanged) when the refined
// mesh would pass the bounds above or cannot be allocated.
bool RefineMesh(MeshEditState& e);
void ClearMesh(MeshEditState& e);
// W and X as one step: a mesh that the refinement would take past its bounds is not even
// copied, so holding W down at the bounds costs nothing. True when the mesh was refined.
bool RefineMeshRecorded(EditHistory& history, MeshEditState& e);
