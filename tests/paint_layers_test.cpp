// Tests of ResultPane's kept layers: a layer composed once and cut to a smaller offscreen
// shows exactly what a paint of that offscreen composes afresh, and the layer bookkeeping.
#include "views/paint_layers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "warp/mesh_warp.h"

namespace {

constexpr uint32_t kBackground = 0xFF000000u;

// A wobbled 3 x 3 grid reaching past 150 x 90, over a source whose red is x and green y.
struct Scene {
    PixelImage source;
    NodeGrid grid = {{{0, 0, -5, -3}, {0, 0, 70, 4}, {0, 0, 160, -2}},
                     {{0, 0, 3, 41}, {0, 0, 77, 52}, {0, 0, 149, 38}},
                     {{0, 0, -2, 97}, {0, 0, 81, 88}, {0, 0, 155, 99}}};
    SelectionRect selection{2, 3, 60, 50};

    Scene()
    {
        source.Allocate(70, 60);
        for (uint32_t y = 0; y < 60; ++y)
            for (uint32_t x = 0; x < 70; ++x)
                source.pixels[y * 70 + x] = 0xFF000000u | (x * 3) << 16 | (y * 4) << 8 | 0x5A;
    }
    void Warp(PixelImage& target) const
    {
        RenderMeshWarp(source.Lock(), target.Lock(), grid, 3, 3, selection, 0);
    }
};

// The plain paint: a fresh offscreen of exactly the paint's size, cleared and warped.
PixelImage ComposedAfresh(const Scene& scene, uint32_t width, uint32_t height)
{
    PixelImage image;
    image.Allocate(width, height, kBackground);
    scene.Warp(image);
    return image;
}

TEST(KeptLayers, ACornerOfTheWarpedLayerIsWhatAFreshPaintComposes)
{
    const Scene scene;
    KeptLayer backdrop, warped;
    std::vector<uint32_t> frame;
    // the layer is reused the second time round: the same buffer, refilled
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(ClearLayer(backdrop, 170, 120, kBackground));
        backdrop.composed = true;
        ASSERT_TRUE(CopyLayer(backdrop, warped));
        scene.Warp(warped.image);
        // whole, cut through cells, a single row and column, and taller than one band
        const uint32_t sizes[][2] = {{170, 120}, {151, 89}, {60, 97}, {1, 1}, {170, 33}, {2, 120}};
        for (const auto& size : sizes) {
            ASSERT_TRUE(CopyLayerCorner(warped, size[0], size[1], frame));
            const PixelImage fresh = ComposedAfresh(scene, size[0], size[1]);
            const std::vector<uint32_t> shown(frame.begin(), frame.begin() + fresh.pixels.size());
            EXPECT_EQ(shown, fresh.pixels) << size[0] << " x " << size[1];
        }
        // the backdrop layer is left as it was: a stroke is drawn over the background alone
        EXPECT_TRUE(AllOpaque(backdrop.image.pixels.data(), backdrop.image.pixels.size()));
        EXPECT_EQ(backdrop.image.At(100, 50), kBackground);
        EXPECT_NE(warped.image.At(100, 50), kBackground);
        backdrop.image.pixels[0] = 0x00ABCDEFu;  // refilled on the next round
    }
    EXPECT_GE(frame.size(), 170u * 120u);  // the frame keeps the largest size it held
}

TEST(KeptLayers, ServeOnlyTheirVersionWithinTheirExtent)
{
    KeptLayer layer;
    EXPECT_FALSE(layer.Spans(1, 1));  // never composed
    ASSERT_TRUE(ClearLayer(layer, 200, 100, kBackground));
    EXPECT_FALSE(layer.Serves(0, 1, 1));  // cleared, not yet composed
    layer.composed = true;
    layer.version = 7;
    EXPECT_TRUE(layer.Serves(7, 200, 100));
    EXPECT_TRUE(layer.Serves(7, 10, 100));
    EXPECT_FALSE(layer.Serves(8, 10, 10));
    EXPECT_FALSE(layer.Serves(7, 201, 100));
    EXPECT_FALSE(layer.Serves(7, 200, 101));
    EXPECT_TRUE(layer.Spans(200, 100));
    std::vector<uint32_t> frame;
    EXPECT_FALSE(CopyLayerCorner(layer, 201, 1, frame));
    EXPECT_TRUE(frame.empty());
}

TEST(AllOpaque, FindsAnyPixelBelowFullAlpha)
{
    std::vector<uint32_t> pixels(37, 0xFFFFFFFFu);
    pixels[3] = 0xFF000000u;
    EXPECT_TRUE(AllOpaque(pixels.data(), pixels.size()));
    EXPECT_TRUE(AllOpaque(pixels.data(), 0));
    for (uint32_t word : {0x7FFFFFFFu, 0xFEFFFFFFu, 0x00000000u, 0xBF123456u}) {
        for (size_t at : {size_t(0), size_t(17), size_t(36)}) {
            std::vector<uint32_t> one = pixels;
            one[at] = word;
            EXPECT_FALSE(AllOpaque(one.data(), one.size())) << std::hex << word << " at " << at;
        }
    }
}

}  // namespace
