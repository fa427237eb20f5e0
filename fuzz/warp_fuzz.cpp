// Fuzzes the warp: single quads with any corners (non-finite, huge, folded, collapsed) over
// small buffers with padded rows, and whole meshes rendered with one thread and with three.
// Every write must stay inside the target, its row band and the quad's bounding box.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "mesh/editing.h"
#include "warp/mesh_warp.h"
#include "warp/pixel_buffer.h"
#include "warp/quad_warp.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "warp fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// A buffer over an exactly sized allocation, so AddressSanitizer sees any stray access;
// rows may carry padding words that must never change.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t strideWords = 0;
    bool failedLock = false;
    std::vector<uint32_t> words;

    PixelBuffer Buffer()
    {
        PixelBuffer b;
        b.width = width;
        b.height = height;
        b.stride = int32_t(strideWords * 4);
        b.pixels = failedLock || words.empty() ? nullptr : words.data();
        return b;
    }
};

Image PickImage(FuzzedDataProvider& in, uint32_t maxSide, bool randomPixels)
{
    Image im;
    im.width = in.ConsumeIntegralInRange<uint32_t>(0, maxSide);
    im.height = in.ConsumeIntegralInRange<uint32_t>(0, maxSide);
    im.strideWords = im.width + in.ConsumeIntegralInRange<uint32_t>(0, 3);
    if (im.strideWords == 0)
        im.strideWords = 1;
    im.failedLock = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    im.words.resize(size_t(im.strideWords) * im.height);
    // Alpha 0 everywhere, so every word the warp writes (alpha 0xFF) stands out.
    for (size_t i = 0; i < im.words.size(); ++i)
        im.words[i] =
            randomPixels ? in.ConsumeIntegral<uint32_t>() : uint32_t(i * 0x9E3779B1u) & 0x00FFFFFFu;
    return im;
}

double PickDouble(FuzzedDataProvider& in, double span)
{
    // clang-format off
    static constexpr double kSpecial[] = {
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
        1e300, -1e300, -0.5, 0.5, -0.0, 0.0, 1.0, -1.0,
        2147483647.0, -2147483648.0, 2147483648.0, 4294967295.0, 9.3e18, -9.3e18};
    // clang-format on
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
    case 1:
        return double(in.ConsumeIntegralInRange<int32_t>(-4, int32_t(span) + 4)) +
               in.ConsumeIntegralInRange<int>(0, 4) * 0.25;
    case 2: return in.PickValueInArray(kSpecial);
    case 3: return double(in.ConsumeIntegral<int32_t>());
    default: {
        const uint64_t bits = in.ConsumeIntegral<uint64_t>();
        double d;
        static_assert(sizeof d == sizeof bits);
        __builtin_memcpy(&d, &bits, sizeof d);
        return d;
    }
    }
}

PointD PickCorner(FuzzedDataProvider& in, double span)
{
    const double x = PickDouble(in, span);
    return {x, PickDouble(in, span)};
}

int32_t PickNodeCoordinate(FuzzedDataProvider& in, uint32_t span)
{
    static constexpr int32_t kEdges[] = {
        std::numeric_limits<int32_t>::min(), -(1 << 19), -1, 0, 1 << 19,
        std::numeric_limits<int32_t>::max()};
    if (in.ConsumeIntegralInRange<int>(0, 3) == 0)
        return in.ConsumeBool() ? in.PickValueInArray(kEdges) : in.ConsumeIntegral<int32_t>();
    return in.ConsumeIntegralInRange<int32_t>(-3, int32_t(span) + 3);
}

bool Unchanged(const Image& before, const Image& after, uint32_t x, uint32_t y)
{
    const size_t i = size_t(y) * before.strideWords + x;
    return before.words[i] == after.words[i];
}

// Padding words and, when asked, everything: what a skipped or empty warp leaves.
void CheckPadding(const Image& before, const Image& after)
{
    for (uint32_t y = 0; y < before.height; ++y)
        for (uint32_t x = before.width; x < before.strideWords; ++x)
            Check(Unchanged(before, after, x, y), "a padding word of a row changed");
}

void FuzzQuad(FuzzedDataProvider& in, const Image& source, Image& target)
{
    const double span = double(target.width > target.height ? target.width : target.height);
    QuadWarpJob q;
    q.topLeft = PickCorner(in, span);
    q.topRight = PickCorner(in, span);
    q.bottomLeft = PickCorner(in, span);
    q.bottomRight = PickCorner(in, span);
    const double sourceSpan = double(source.width > source.height ? source.width : source.height);
    q.sourceLeft = PickDouble(in, sourceSpan);
    q.sourceTop = PickDouble(in, sourceSpan);
    q.sourceRight = PickDouble(in, sourceSpan);
    q.sourceBottom = PickDouble(in, sourceSpan);
    uint32_t rowBegin = 0, rowEnd = UINT32_MAX;
    if (in.ConsumeBool()) {
        rowBegin = in.ConsumeIntegralInRange<uint32_t>(0, target.height + 2);
        rowEnd = in.ConsumeBool() ? UINT32_MAX
                                  : in.ConsumeIntegralInRange<uint32_t>(0, target.height + 2);
    }

    Image src = source;
    const Image before = target;
    WarpQuad(src.Buffer(), target.Buffer(), q, rowBegin, rowEnd);
    Check(src.words == source.words, "the warp wrote into its source");
    CheckPadding(before, target);

    const PointD corners[] = {q.topLeft, q.topRight, q.bottomLeft, q.bottomRight};
    bool anyNaN = false;
    double minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const PointD& c : corners) {
        anyNaN = anyNaN || std::isnan(c.x) || std::isnan(c.y);
        minX = std::fmin(minX, c.x);
        maxX = std::fmax(maxX, c.x);
        minY = std::fmin(minY, c.y);
        maxY = std::fmax(maxY, c.y);
    }
    const bool untouched = anyNaN || source.failedLock || source.words.empty() || target.failedLock;
    for (uint32_t y = 0; y < target.height; ++y) {
        for (uint32_t x = 0; x < target.width; ++x) {
            if (Unchanged(before, target, x, y))
                continue;
            Check(!untouched, "a quad with a NaN corner or a failed lock wrote a pixel");
            Check(y >= rowBegin && y < rowEnd, "a pixel outside the row band was written");
            Check(double(x) >= std::trunc(minX) && double(x) <= std::trunc(maxX) &&
                      double(y) >= std::trunc(minY) && double(y) <= std::trunc(maxY),
                  "a pixel outside the quad's bounding box was written");
            Check((target.words[size_t(y) * target.strideWords + x] >> 24) == 0xFF,
                  "a written pixel is not opaque");
        }
    }

    // Two bands give what one pass gives: every pixel is decided on its own.
    if (rowBegin == 0 && rowEnd == UINT32_MAX) {
        Image banded = before;
        const uint32_t split = in.ConsumeIntegralInRange<uint32_t>(0, before.height);
        WarpQuad(src.Buffer(), banded.Buffer(), q, 0, split);
        WarpQuad(src.Buffer(), banded.Buffer(), q, split, UINT32_MAX);
        Check(banded.words == target.words, "a quad split into row bands differs");
    }
}

void FuzzMesh(FuzzedDataProvider& in, const Image& source, const Image& target)
{
    const size_t rowCount = in.ConsumeIntegralInRange<size_t>(0, 5);
    const size_t columnCount = in.ConsumeIntegralInRange<size_t>(0, 5);
    const uint32_t span = target.width > target.height ? target.width : target.height;
    NodeGrid grid(rowCount, NodeRow(columnCount));
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0 && !grid.empty())  // a grid out of line
        grid[in.ConsumeIntegralInRange<size_t>(0, rowCount - 1)].push_back({});
    for (NodeRow& row : grid) {
        for (MeshNode& n : row) {
            n.x = PickNodeCoordinate(in, span);
            n.y = PickNodeCoordinate(in, span);
        }
    }
    SelectionRect sel;
    const uint32_t sourceSpan = source.width > source.height ? source.width : source.height;
    sel.x = PickNodeCoordinate(in, sourceSpan);
    sel.y = PickNodeCoordinate(in, sourceSpan);
    sel.width = PickNodeCoordinate(in, sourceSpan);
    sel.height = PickNodeCoordinate(in, sourceSpan);

    Image src = source;
    Image one = target, three = target, plain = target;
    RenderMeshWarp(src.Buffer(), one.Buffer(), grid, columnCount, rowCount, sel, 1);
    RenderMeshWarp(src.Buffer(), three.Buffer(), grid, columnCount, rowCount, sel, 3);
    Check(src.words == source.words, "the mesh warp wrote into its source");
    Check(one.words == three.words, "the mesh warp differs between one and three threads");
    CheckPadding(target, one);

    // The plain order: cell after cell, row pair by row pair, later cells winning.
    bool inLine = grid.size() == rowCount;
    for (const NodeRow& row : grid)
        inLine = inLine && row.size() == columnCount;
    if (inLine)
        for (size_t i = 1; i < rowCount; ++i)
            for (size_t l = 1; l < columnCount; ++l)
                WarpQuad(src.Buffer(), plain.Buffer(),
                         CellJob(grid, i, l, columnCount, rowCount, sel));
    Check(one.words == plain.words, "the mesh warp differs from its cells warped in order");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const Image source = PickImage(in, 6, true);
    Image target = PickImage(in, 20, false);
    const int quads = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < quads && in.remaining_bytes() > 0; ++i)
        FuzzQuad(in, source, target);
    if (in.ConsumeBool())
        FuzzMesh(in, source, target);
    return 0;
}
