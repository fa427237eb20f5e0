// Rubber band of SourcePane over the portable editing state.
#include "mesh/rubber_band.h"

#include "mesh/int_math.h"

void BeginRubberBand(MeshEditState& e, Point p)
{
    e.sourceSelection.x = p.x;
    e.sourceSelection.y = p.y;
    e.interactionMode = InteractionMode::Selecting;
    e.lastPointer = p;
    MarkContentChanged(e);
}

void UpdateRubberBand(MeshEditState& e, Point p)
{
    // positions saturated from a far-out zoom can differ by more than int32 holds
    e.sourceSelection.width = SaturateToInt32(int64_t(p.x) - e.sourceSelection.x);
    e.sourceSelection.height = SaturateToInt32(int64_t(p.y) - e.sourceSelection.y);
    e.lastPointer = p;
    MarkContentChanged(e);
}

bool EndRubberBand(MeshEditState& e, Point p)
{
    if (e.interactionMode != InteractionMode::Selecting)
        return false;
    UpdateRubberBand(e, p);
    e.interactionMode = InteractionMode::Idle;
    return true;
}
