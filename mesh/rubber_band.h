// The source rectangle's rubber band: press sets the origin, moves and the release set
// the size as the current point minus the origin (both may be negative).
#pragma once

#include "mesh/editing.h"

// Left button down in SourcePane, in any mode: the origin moves, the size stays.
void BeginRubberBand(MeshEditState& e, Point p);
// Mouse move while Selecting. Both remember p as the band's last pointer position.
void UpdateRubberBand(MeshEditState& e, Point p);
// Left button up: true (size updated, mode Idle) only when a rubber band was under way.
bool EndRubberBand(MeshEditState& e, Point p);
