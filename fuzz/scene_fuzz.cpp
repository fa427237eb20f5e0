// Fuzzes scene files: the strict reading of the whole file, the replay through the editing
// operations, the grid document, the scene the program would save of the replayed state
// (which must read back to it), and (for canvases up to 512 x 512) the warp of a fixed source
// with the PNG encoded and decoded again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "scene/image_files.h"
#include "mesh/curves.h"
#include "mesh/editing.h"
#include "mesh/node_grid.h"
#include "scene/scene_file.h"
#include "warp/mesh_warp.h"
#include "warp/pixel_buffer.h"

namespace {

constexpr size_t kMaxInput = 64 * 1024;
constexpr int64_t kMaxCanvasSide = 512;
// Upper bound on points after the replay (refinement at most doubles them) and on segment
// pairs over all recomputes; a scene beyond them is only read, not replayed.
constexpr uint64_t kMaxPoints = 2048;
constexpr uint64_t kMaxPairWork = uint64_t(1) << 23;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "scene fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

bool ReplayIsSmall(const Scene& scene)
{
    uint64_t points = 0;
    for (const CurveSet* set : {&scene.columns, &scene.rows})
        for (const Curve& c : *set)
            points += c.size();
    uint64_t recomputes = 1;
    for (const SceneAction& a : scene.actions) {
        points += a.points.size();
        if (a.kind != SceneActionKind::Family)
            ++recomputes;
    }
    for (const SceneAction& a : scene.actions) {
        if (a.kind != SceneActionKind::Refine)
            continue;
        points *= 2;
        if (points > kMaxPoints)
            return false;
    }
    return points <= kMaxPoints && recomputes * points * points <= kMaxPairWork;
}

// An 8 x 8 source whose red is x * 32 and green is y * 32, with a fixed blue.
PixelImage MakeSource()
{
    PixelImage image;
    image.Allocate(8, 8);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            image.pixels[y * 8 + x] = 0xFF000000u | (x * 32) << 16 | (y * 32) << 8 | 0x5A;
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return -1;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Scene scene;
    std::string error;
    if (!ParseScene(text, scene, error)) {
        Check(!error.empty(), "a refused scene without a reason");
        Check(error.find('\n') == std::string::npos, "a reason longer than one line");
        return 0;
    }
    for (const CurveSet* set : {&scene.columns, &scene.rows})
        for (const Curve& c : *set)
            Check(!c.empty(), "a curve without points was accepted");
    for (const SceneAction& a : scene.actions) {
        if (a.kind == SceneActionKind::Stroke)
            Check(!a.points.empty(), "a stroke without points was accepted");
        if (a.kind == SceneActionKind::RightDrag)
            Check(a.points.size() == 2, "a right drag without two points was accepted");
    }
    if (!ReplayIsSmall(scene))
        return 0;

    MeshEditState e;
    std::vector<std::string> warnings;
    ReplayScene(scene, e, warnings);
    Check(e.interactionMode == InteractionMode::Idle, "the replay left a stroke or drag open");
    Check(GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size()),
          "the replay left a grid out of line with its curves");

    std::ostringstream saved;
    WriteScene(saved, e, scene.source, scene.backdrop);
    Scene again;
    Check(ParseScene(saved.str(), again, error), "a written scene is refused");
    MeshEditState back;
    ReplayScene(again, back, warnings);
    Check(back.columnCurves == e.columnCurves && back.rowCurves == e.rowCurves &&
              back.nodeGrid == e.nodeGrid && back.sourceSelection == e.sourceSelection &&
              back.activeFamily == e.activeFamily && again.source == scene.source &&
              again.backdrop == scene.backdrop,
          "a written scene reads back to another state");

    const nlohmann::json doc = GridDocument(e);
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);
    Check(doc.at("canvas").at(0).get<int64_t>() == e.canvasWidth &&
              doc.at("canvas").at(1).get<int64_t>() == e.canvasHeight,
          "the grid document's canvas differs");
    Check(doc.at("grid").size() == e.nodeGrid.size(), "the grid document's rows differ");
    (void)doc.dump();

    if (e.canvasWidth > kMaxCanvasSide || e.canvasHeight > kMaxCanvasSide)
        return 0;
    const PixelImage source = MakeSource();
    PixelImage target;
    Check(target.Allocate(uint32_t(e.canvasWidth), uint32_t(e.canvasHeight)),
          "a small canvas could not be allocated");
    RenderEditorWarp(source.Lock(), target.Lock(), e, 1);
    for (uint32_t word : target.pixels)
        Check(word == 0 || word >> 24 == 0xFF, "a rendered pixel is neither empty nor opaque");

    // What the PNG export writes reads back word for word.
    PixelImage encoded = target;
    std::vector<unsigned char> png;
    Check(EncodePngConsuming(encoded, png), "a small canvas could not be encoded");
    PixelImage decoded;
    std::string failure;
    Check(DecodeImage(png, decoded, failure), "the written PNG does not decode");
    Check(decoded.width == target.width && decoded.height == target.height &&
              decoded.pixels == target.pixels,
          "the written PNG does not give back the rendered pixels");
    return 0;
}
