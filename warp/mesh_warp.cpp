// The mesh warp: each cell of the node grid gets its share of the selection, cell by cell
// in order, over horizontal bands of the target that threads take in turn.
#include "warp/mesh_warp.h"

#include "warp/dib_block.h"

#include <algorithm>
#include <atomic>
#include <cmath>
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

void RenderEditorWarpRows(const PixelBuffer& source, const PixelBuffer& target,
                          const MeshEditState& e, uint32_t rowBegin, uint32_t rowEnd)
{
    const NodeGrid& grid = e.nodeGrid;
    const size_t columnCount = e.columnCurves.size(), rowCount = e.rowCurves.size();
    if (e.sourceSelection.width < 0 || rowCount < 2 || columnCount < 2 || grid.size() != rowCount)
        return;
    for (const NodeRow& row : grid) {
        if (row.size() != columnCount)
            return;
    }
    if (!IsUsableBuffer(source) || !IsUsableBuffer(target))
        return;
    const MeshRender m{
        source, target, grid, columnCount, rowCount, e.sourceSelection, ActiveWarpKernel()};
    RenderBand(m, rowBegin, std::min(rowEnd, target.height));
}

uint32_t EditorWarpSourceRows(const MeshEditState& e, uint32_t sourceHeight, uint32_t rowBegin,
                              uint32_t rowEnd)
{
    const NodeGrid& grid = e.nodeGrid;
    const size_t columnCount = e.columnCurves.size(), rowCount = e.rowCurves.size();
    if (e.sourceSelection.width < 0 || rowCount < 2 || columnCount < 2 || grid.size() != rowCount)
        return 0;  // nothing is drawn
    double needed = 0.0;
    for (size_t i = 1; i < rowCount; ++i) {
        for (size_t l = 1; l < columnCount; ++l) {
            if (grid[i - 1].size() != columnCount || grid[i].size() != columnCount)
                return 0;
            const QuadWarpJob job = CellJob(grid, i, l, columnCount, rowCount, e.sourceSelection);
            const double ys[4] = {job.topLeft.y, job.topRight.y, job.bottomLeft.y,
                                  job.bottomRight.y};
            if (!std::isfinite(ys[0] + ys[1] + ys[2] + ys[3]))
                return sourceHeight;
            const double top = std::min(std::min(ys[0], ys[1]), std::min(ys[2], ys[3]));
            const double bottom = std::max(std::max(ys[0], ys[1]), std::max(ys[2], ys[3]));
            // The cell writes target rows int(top) to int(bottom) at most; a row to spare.
            if (!(bottom + 1.0 >= double(rowBegin) && top - 1.0 < double(rowEnd)))
                continue;
            const double lowest = std::max(job.sourceTop, job.sourceBottom);
            const double span = std::fabs(job.sourceBottom - job.sourceTop);
            if (!std::isfinite(lowest) || !std::isfinite(span))
                return sourceHeight;
            // The patch test lets the source row pass the rectangle by a hair; the bilinear
            // sample reads the row below the one it falls in.
            needed = std::max(needed, std::floor(lowest + span * 1e-6 + 1e-6) + 2.0);
        }
    }
    return needed >= double(sourceHeight) ? sourceHeight : uint32_t(std::max(needed, 0.0));
}
