// The mesh warp: each cell of the node grid gets its share of the selection, cell by cell
// in order, over horizontal bands of the target that threads take in turn.
#include "warp/mesh_warp.h"

#include "warp/dib_block.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "warp/quad_setup.h"

QuadWarpJob CellJob(const NodeGrid& grid, size_t i, size_t l, size_t columnCount, size_t rowCount,
                    const SelectionRect& selection)
{
    const MeshNode& topLeft = grid[i - 1][l - 1];
    const MeshNode& topRight = grid[i - 1][l];
    const MeshNode& bottomLeft = grid[i][l - 1];
    const MeshNode& bottomRight = grid[i][l];
    const double columnParts = static_cast<double>(columnCount - 1);
    const double rowParts = static_cast<double>(rowCount - 1);
    const double sx = selection.x, sy = selection.y;
    const double sw = selection.width, sh = selection.height;
    QuadWarpJob job;
    // index times size, divided by the count less one, plus the origin; never rounded
    job.sourceLeft = static_cast<double>(l - 1) * sw / columnParts + sx;
    job.sourceRight = static_cast<double>(l) * sw / columnParts + sx;
    job.sourceTop = static_cast<double>(i - 1) * sh / rowParts + sy;
    job.sourceBottom = static_cast<double>(i) * sh / rowParts + sy;
    job.topLeft = {static_cast<double>(topLeft.x), static_cast<double>(topLeft.y)};
    job.topRight = {static_cast<double>(topRight.x), static_cast<double>(topRight.y)};
    job.bottomLeft = {static_cast<double>(bottomLeft.x), static_cast<double>(bottomLeft.y)};
    job.bottomRight = {static_cast<double>(bottomRight.x), static_cast<double>(bottomRight.y)};
    return job;
}

namespace {

struct MeshRender {
    const PixelBuffer& source;
    const PixelBuffer& target;
    const NodeGrid& grid;
    size_t columnCount;
    size_t rowCount;
    SelectionRect selection;
    WarpKernel kernel;
};

// All cells in order over rows [rowBegin, rowEnd): within the band a pixel sees the same
// sequence of writes as in a render of the whole target, so the later cell still wins.
void RenderBand(const MeshRender& m, uint32_t rowBegin, uint32_t rowEnd)
{
    for (size_t i = 1; i < m.rowCount; ++i) {
        for (size_t l = 1; l < m.columnCount; ++l) {
            const QuadWarpJob job = CellJob(m.grid, i, l, m.columnCount, m.rowCount, m.selection);
            QuadSetup q;
            if (PrepareQuad(job, m.source, m.target, rowBegin, rowEnd, q))
                WarpPreparedQuad(q, m.source, m.target, m.kernel);
        }
    }
}

// Rows per band: small enough for the threads to share uneven meshes out, large enough
// that the cells' setup, repeated in every band, stays negligible.
constexpr uint32_t kMinBandRows = 32;
constexpr uint32_t kBandsPerThread = 4;

}  // namespace

void RenderMeshWarp(const PixelBuffer& source, const PixelBuffer& target, const NodeGrid& grid,
                    size_t columnCount, size_t rowCount, const SelectionRect& selection,
                    unsigned threads)
{
    if (rowCount < 2 || columnCount < 2 || grid.size() != rowCount)
        return;
    for (const NodeRow& row : grid) {
        if (row.size() != columnCount)
            return;
    }
    if (!IsUsableBuffer(source) || !IsUsableBuffer(target))
        return;  // a failed lock or an empty source: the target stays as it was

    const MeshRender m{source, target, grid, columnCount, rowCount, selection, ActiveWarpKernel()};
    const uint32_t height = target.height;
    unsigned threadCount = threads != 0 ? threads : std::thread::hardware_concurrency();
    threadCount = std::max(1u, std::min(threadCount, std::max(1u, height / kMinBandRows)));
    if (threadCount == 1) {
        RenderBand(m, 0, height);
        return;
    }

    const uint32_t bandCount =
        std::min(threadCount * kBandsPerThread, std::max(1u, height / kMinBandRows));
    std::atomic<uint32_t> nextBand{0};
    const auto work = [&]() {
        for (uint32_t band = nextBand.fetch_add(1); band < bandCount;
             band = nextBand.fetch_add(1)) {
            const uint32_t rowBegin = static_cast<uint32_t>(uint64_t(height) * band / bandCount);
            const uint32_t rowEnd =
                static_cast<uint32_t>(uint64_t(height) * (band + 1) / bandCount);
            RenderBand(m, rowBegin, rowEnd);
        }
    };
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(threadCount - 1);
        for (unsigned k = 1; k < threadCount; ++k)
            helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // fewer threads than asked for: the bands still all get done
    } catch (const std::bad_alloc&) {}
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

// A negative height still warps, the picture turned upside down; only the width says whether
// a rectangle is marked.
void RenderEditorWarp(const PixelBuffer& source, const PixelBuffer& target, const MeshEditState& e,
                      unsigned threads)
{
    if (e.sourceSelection.width < 0)
        return;
    RenderMeshWarp(source, target, e.nodeGrid, e.columnCurves.size(), e.rowCurves.size(),
                   e.sourceSelection, threads);
}

PixelImage RenderResultPixels(MeshEditState& e, const PixelImage& source)
{
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);
    // Points saturated from a far-out zoom can give a canvas of 2^31 pixels a side; a
    // canvas whose pixel memory would not fit the library's int32 sizes is not made at all.
    PixelImage pixels;  // every pixel starts transparent
    if (!CanvasFitsBitmap(e.canvasWidth, e.canvasHeight) ||
        !pixels.Allocate(uint32_t(e.canvasWidth), uint32_t(e.canvasHeight)))
        return {};
    // with nothing marked no warp is made, as in the pane
    RenderEditorWarp(source.Lock(), pixels.Lock(), e, 0);
    return pixels;
}
