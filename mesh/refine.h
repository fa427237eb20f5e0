// Mesh refinement (a mean curve between every two neighbours) and reset.
#pragma once

#include "mesh/editing.h"

void InsertMidCurves(CurveSet& set);
// Refines both families and recomputes the grid; false (mesh unchanged) when the larger
// mesh cannot be allocated.
bool RefineMesh(MeshEditState& e);
void ClearMesh(MeshEditState& e);
