// Scene files, as the program and the headless renderer both read and write them: the strict
// reading of their JSON form, the replay through the editor's own operations, the grid
// document written after it, and the scene that gives an editing state back exactly.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mesh/editing.h"
#include "mesh/node_grid.h"
#include "warp/pixel_buffer.h"

class DecodeWatch;  // scene/image_codecs.h

enum class SceneActionKind { Family, Stroke, RightDrag, Refine, Clear };

struct SceneAction {
    SceneActionKind kind = SceneActionKind::Refine;
    CurveFamily family = CurveFamily::Columns;  // Family
    std::vector<Point> points;                  // Stroke: at least one; RightDrag: two
};

struct Scene {
    std::optional<std::string> source;    // UTF-8, relative to the scene's folder unless absolute
    std::optional<std::string> backdrop;  // the same; the program's BackdropImage
    SelectionRect selection;
    CurveSet columns;
    CurveSet rows;
    std::optional<NodeGrid> grid;  // taken as it stands instead of the computed grid
    std::vector<SceneAction> actions;
};

// False with a one-line reason that names the offending key or action index.
bool ParseScene(const std::string& text, Scene& scene, std::string& error);
// Reads and parses a scene file. False with the line vorlin-render prints for a refused scene
// (after its own prefix): `shownName`, a colon and the reason.
bool ReadSceneFile(const std::filesystem::path& path, const std::string& shownName, Scene& scene,
                   std::string& refusal);
// Where an image a scene names lies: a relative name is taken from the scene's folder.
std::filesystem::path SceneImagePath(const std::filesystem::path& sceneFolder,
                                     const std::string& name);

// An image a scene names, decoded as the warp reads it. Missing or undecodable, it is an empty
// image that draws nothing, and `warning` says so in vorlin-render's words; `key` names it.
// `watch`, if given, follows the decode (DecodeImage) and is ended when it returns.
PixelImage LoadSceneImage(const std::filesystem::path& path, const char* key, std::string& warning,
                          DecodeWatch* watch = nullptr);

// Loads the curves, takes the grid or computes it once (no sort) and applies the actions as
// the result pane's mouse and keys would. A refinement the memory refused leaves a warning.
void ReplayScene(const Scene& scene, MeshEditState& e, std::vector<std::string>& warnings);

// The scene of `e`'s selection, curves, node grid and active family, naming the images given:
// read and replayed, it gives those back exactly. A grid out of line with the curves (which
// no edit leaves) is left out and then computed again.
void WriteScene(std::ostream& out, const MeshEditState& e, const std::optional<std::string>& source,
                const std::optional<std::string>& backdrop);

// {"canvas": [w, h], "columns": [...], "rows": [...], "grid": [[[c, r, x, y], ...], ...]}
// with the canvas that MeasureCanvas gives for the curves.
nlohmann::json GridDocument(const MeshEditState& e);
