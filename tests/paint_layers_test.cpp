// Tests of ResultPane's kept layers: a layer composed once and cut to a smaller offscreen
// shows exactly what a paint of that offscreen composes afresh.
#include "views/paint_layers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "warp/mesh_warp.h"

namespace {

constexpr uint32_t kBackground = 0xFF000000u;

// A wobbled 3 x 3 grid reaching past 150 x 90, over a source whose red is x and green y.
const NodeGrid kGrid = {{{0, 0, -5, -3}, {0, 0, 70, 4}, {0, 0, 160, -2}},
                        {{0, 0, 3, 41}, {0, 0, 77, 52}, {0, 0, 149, 38}},
                        {{0, 0, -2, 97}, {0, 0, 81, 88}, {0, 0, 155, 99}}};

void Warp(const PixelImage& source, PixelImage& target)
{
    RenderMeshWarp(source.Lock(), target.Lock(), kGrid, 3, 3, SelectionRect{2, 3, 60, 50}, 0);
}

TEST(KeptLayers, ACornerOfTheWarpedLayerIsWhatAFreshPaintComposes)
{
    PixelImage source;
    source.Allocate(70, 60);
    for (uint32_t y = 0; y < 60; ++y)
        for (uint32_t x = 0; x < 70; ++x)
            source.pixels[y * 70 + x] = 0xFF000000u | (x * 3) << 16 | (y * 4) << 8 | 0x5A;
    KeptLayer backdrop, warped;
    std::vector<uint32_t> frame;
    // the second time round the same buffers are refilled and reused
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(ClearLayer(backdrop, 170, 120, kBackground));
        EXPECT_TRUE(AllOpaque(backdrop.image.pixels.data(), backdrop.image.pixels.size()));
        EXPECT_FALSE(backdrop.Spans(1, 1));  // cleared, not yet composed
        backdrop.composed = true;
        ASSERT_TRUE(CopyLayer(backdrop, warped));
        Warp(source, warped.image);
        EXPECT_EQ(backdrop.image.At(100, 50), kBackground);  // strokes show it without the warp
        // whole, cut through cells, a single row and column, and taller than one band
        const uint32_t sizes[][2] = {{170, 120}, {151, 89}, {60, 97}, {1, 1}, {170, 33}, {2, 120}};
        for (const auto& size : sizes) {
            ASSERT_TRUE(CopyLayerCorner(warped, size[0], size[1], frame));
            PixelImage fresh;  // the plain paint: an offscreen of just this size
            fresh.Allocate(size[0], size[1], kBackground);
            Warp(source, fresh);
            const std::vector<uint32_t> shown(frame.begin(), frame.begin() + fresh.pixels.size());
            EXPECT_EQ(shown, fresh.pixels) << size[0] << " x " << size[1];
        }
        EXPECT_FALSE(CopyLayerCorner(warped, 171, 1, frame));
        // a pixel below full alpha, which the final draw must not copy to the window as is
        backdrop.image.pixels[0] = 0x00ABCDEFu;
        EXPECT_FALSE(AllOpaque(backdrop.image.pixels.data(), backdrop.image.pixels.size()));
    }
    EXPECT_GE(frame.size(), 170u * 120u);  // the frame keeps the largest size it held
}

}  // namespace
