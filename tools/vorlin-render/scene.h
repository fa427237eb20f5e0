// Scene files of the headless renderer: the strict reading of their JSON form, the replay
// through the editor's own operations, and the grid document written after it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mesh/editing.h"

enum class SceneActionKind { Family, Stroke, RightDrag, Refine, Clear };

struct SceneAction {
    SceneActionKind kind = SceneActionKind::Refine;
    CurveFamily family = CurveFamily::Columns;  // Family
    std::vector<Point> points;                  // Stroke: at least one; RightDrag: two
};

struct Scene {
    std::optional<std::string> source;  // UTF-8, relative to the scene's folder unless absolute
    SelectionRect selection;
    CurveSet columns;
    CurveSet rows;
    std::vector<SceneAction> actions;
};

// False with a one-line reason that names the offending key or action index.
bool ParseScene(const std::string& text, Scene& scene, std::string& error);

// Loads the curves, computes the node grid once (no sort) and applies the actions as the
// result pane's mouse and keys would. A refinement the memory refused leaves a warning.
void ReplayScene(const Scene& scene, MeshEditState& e, std::vector<std::string>& warnings);

// {"canvas": [w, h], "columns": [...], "rows": [...], "grid": [[[c, r, x, y], ...], ...]}
// with the canvas that MeasureCanvas gives for the curves.
nlohmann::json GridDocument(const MeshEditState& e);
