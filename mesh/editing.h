// The editor's portable state and the mouse editing of the result pane: strokes,
// reclassification, curve deletion and node drags, plus the pane position and wheel zoom
// arithmetic. Positions come in as pane pixels and wheel steps as whole notches.
#pragma once

#include <cstdint>

#include "mesh/curves.h"
#include "mesh/node_grid.h"

enum class InteractionMode { Idle = 0, Selecting = 1, SplitterDrag = 2, Stroke = 3, NodeDrag = 4 };

// Everything the editing operations, the renderer and the exports work on; the Windows
// program's EditorState adds images, window handles, zoom and layout to it.
struct MeshEditState {
    InteractionMode interactionMode = InteractionMode::Idle;
    CurveFamily activeFamily = CurveFamily::Columns;
    SelectionRect sourceSelection;
    CurveSet columnCurves;
    CurveSet rowCurves;
    NodeGrid nodeGrid;
    int32_t canvasWidth = 0;
    int32_t canvasHeight = 0;
    int32_t dragRow = 0;
    int32_t dragColumn = 0;
    Point pressPoint{-1, 0};
    CurveFamily strokeFamily = CurveFamily::Columns;  // the family the stroke under way began in
    // Where the pointer of the drag under way was last seen, at its press or its latest move:
    // canvas pixels in a node drag, source-image pixels in a rubber band. A drag ended
    // without a release of its own ends here.
    Point lastPointer{0, 0};
    // Changes whenever what ResultPane composes below its overlays may have changed: the
    // grid and the curve counts the warp reads, the selection, the source or the backdrop.
    // The pane keeps what it composed while this stays the same.
    uint64_t contentVersion = 0;
};

// Every operation that changes what contentVersion covers ends with this; so must
// anything that replaces the state wholesale.
inline void MarkContentChanged(MeshEditState& e) { ++e.contentVersion; }

inline constexpr float kWheelZoomFactor = 1.1f;
inline constexpr double kThinningDistance = 5.0;
inline constexpr double kHitRadius = 10.0;
inline constexpr int32_t kLabelSpotOffset = 8;

inline constexpr int32_t kWheelStep = 120;  // the wheel delta of one notch

// A pane mouse position (signed 16-bit client pixels) in unzoomed pixels: each coordinate
// divided by the zoom as floats and truncated toward zero.
Point PanePoint(int16_t x, int16_t y, float zoom);
// One wheel message of `notches` whole steps (its delta divided by kWheelStep, truncated):
// above 0 divides the zoom by 1.1f, any other count multiplies it; a step that would leave
// the normal finite floats is not taken.
float ZoomByWheelNotches(float zoom, int32_t notches);

// What a right-button press did, so the window knows whether to repaint or capture.
enum class RightPressResult { Ignored, CurveDeleted, Pressed };

// Left button down: starts a stroke in the active family unless one or a node drag is under
// way. The content stays marked unchanged, as through ExtendStroke: the warp is left out while
// a stroke lasts, and the curves are drawn anew on every paint.
void BeginStroke(MeshEditState& e, Point p);
// Mouse move: extends the stroke with 5-pixel thinning; true when the pane must repaint.
bool ExtendStroke(MeshEditState& e, Point p);
// Mouse move: remembers where a node drag's pointer is.
void TrackNodeDrag(MeshEditState& e, Point p);
// Left button up: reclassifies, recomputes and sorts; true when a stroke ended.
bool EndStroke(MeshEditState& e);
// Right button down: deletes the curve whose label spot is in reach, else picks a node.
RightPressResult RightButtonDown(MeshEditState& e, Point p);
// Right button up: ends a node drag by moving the node; true when it did.
bool RightButtonUp(MeshEditState& e, Point p);
// Ends a stroke or a node drag as its release at the last position would; true when one ended.
bool EndStrokeOrNodeDrag(MeshEditState& e);

bool DeleteCurveAt(CurveSet& set, Point p);
// Whether segment i of `stroke` crosses any segment of the set's curves but its last.
bool StrokeCrossesCurves(const Curve& stroke, const CurveSet& set, size_t i);
// Moves the last column curve to the rows when its first crossing is with a column curve.
void ReclassifyLastColumnCurve(CurveSet& columns, CurveSet& rows);
void MoveNode(MeshEditState& e, int32_t x, int32_t y);
