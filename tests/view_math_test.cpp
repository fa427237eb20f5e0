// Tests of the painting arithmetic: offscreen sizes and their bound, zoomed lengths,
// overlay thresholds and the label texts.
#include "views/view_math.h"

#include <gtest/gtest.h>

#include <string>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(OffscreenSide, DividesTheClientExtentByTheZoomAndTruncates)
{
    struct Case {
        int32_t extent;
        float zoom;
        int32_t side;
    };
    const Case cases[] = {
        {800, 1.0f, 800},
        {801, 2.0f, 400},  // 400.5 truncated
        {600, 2.0f, 300},
        // 1.1f = 1.10000002384185791015625; 800 / that = 727.2727...
        {800, 1.1f, 727},
        {1, 0.5f, 2},
        {16384, 1.0f, 16384},  // the largest side made
    };
    for (const Case& c : cases)
        EXPECT_EQ(OffscreenSide(c.extent, c.zoom), c.side) << c.extent << " / " << c.zoom;
}

TEST(OffscreenSide, SizesNoBitmapCanBeMadeOfGiveZero)
{
    struct Case {
        int32_t extent;
        float zoom;
    };
    const Case cases[] = {
        {1, 2.0f},      // 0.5 truncates to 0
        {0, 1.0f},      // a hidden pane
        {-3, 1.0f},     // a negative client extent
        {16385, 1.0f},  // one past the bound
        {800, 0.01f},   // 80000 pixels
        {800, 1e-30f},  // a thousand notches out
        {800, 0.0f},    // 800 / 0 = inf
        {800, kInf},    // 800 / inf = 0
        {800, -1.0f},   // negative
        {800, std::numeric_limits<float>::quiet_NaN()},
        {0, 0.0f},  // 0 / 0 = NaN
    };
    for (const Case& c : cases)
        EXPECT_EQ(OffscreenSide(c.extent, c.zoom), 0) << c.extent << " / " << c.zoom;
}

TEST(OffscreenFits, BoundsTheAreaAsWellAsEachSide)
{
    EXPECT_TRUE(OffscreenFits(1, 1));
    EXPECT_TRUE(OffscreenFits(4096, 4096));  // 2^24 exactly
    EXPECT_FALSE(OffscreenFits(4097, 4096));
    EXPECT_TRUE(OffscreenFits(16384, 1024));
    EXPECT_FALSE(OffscreenFits(16384, 1025));
    // 800 x 600 at 1.1^-k: k = 18 (zoom 0.1799) makes 4447 x 3335, k = 19 (0.1635) 4892 x
    // 3669, which passes the area bound though each side is allowed.
    float zoom = 1.0f;
    for (int k = 0; k < 18; ++k)
        zoom /= 1.1f;
    EXPECT_TRUE(OffscreenFits(OffscreenSide(800, zoom), OffscreenSide(600, zoom)));
    zoom /= 1.1f;
    EXPECT_NE(OffscreenSide(800, zoom), 0);
    EXPECT_FALSE(OffscreenFits(OffscreenSide(800, zoom), OffscreenSide(600, zoom)));
    EXPECT_FALSE(OffscreenFits(0, 600));
    EXPECT_FALSE(OffscreenFits(800, 0));
}

TEST(ScaleLength, MultipliesInFloatTruncatesTowardZeroAndSaturates)
{
    struct Case {
        int64_t value;
        float zoom;
        int32_t out;
    };
    const Case cases[] = {
        {400, 2.0f, 800},
        {300, 2.0f, 600},
        // 3 * 1.10000002384 = 3.30000007 as a float: 3
        {3, 1.1f, 3},
        // 10 * 1.1f = 11.0000002384 rounds to the float 11.0 exactly: 11
        {10, 1.1f, 11},
        {-7, 0.5f, -3},  // -3.5 toward zero
        {-1, 0.5f, 0},   // -0.5 toward zero is 0, not -1
        {kMax, 2.0f, kMax},
        {kMin, 2.0f, kMin},
        {5, kInf, kMax},
        {-5, kInf, kMin},
        {0, kInf, 0},  // 0 * inf = NaN gives 0
        {5, std::numeric_limits<float>::quiet_NaN(), 0},
        {uint32_t(0xFFFFFFFF), 1.0f, kMax},  // an unsigned image width beyond int32
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaleLength(c.value, c.zoom), c.out) << c.value << " * " << c.zoom;
}

TEST(DotCorner, StepsOneLeftWithoutOverflow)
{
    EXPECT_EQ(DotCorner(5), 4);
    EXPECT_EQ(DotCorner(0), -1);
    EXPECT_EQ(DotCorner(kMax), kMax - 1);
    EXPECT_EQ(DotCorner(kMin), kMin);
}

struct PlanCase {
    size_t columns, rows;
    bool curves, nodes, columnLabels, rowLabels;
    float columnPen, rowPen;
};

class PlanOverlaysTable : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanOverlaysTable, FollowsTheThresholds)
{
    const PlanCase& c = GetParam();
    OverlayPlan plan = PlanOverlays(c.columns, c.rows);
    EXPECT_EQ(plan.curves, c.curves);
    EXPECT_EQ(plan.nodes, c.nodes);
    EXPECT_EQ(plan.columnLabels, c.columnLabels);
    EXPECT_EQ(plan.rowLabels, c.rowLabels);
    EXPECT_EQ(plan.columnPenWidth, c.columnPen);
    EXPECT_EQ(plan.rowPenWidth, c.rowPen);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, PlanOverlaysTable,
    testing::Values(PlanCase{0, 0, true, true, true, true, 3.0f, 3.0f},
                    PlanCase{1, 5, true, true, true, true, 3.0f, 3.0f},
                    PlanCase{15, 15, true, true, true, true, 3.0f, 3.0f},
                    // 16 columns: thin green pen, no white nodes, labels on both sets still
                    PlanCase{16, 3, true, false, true, true, 1.0f, 3.0f},
                    PlanCase{3, 16, true, false, true, true, 3.0f, 1.0f},
                    PlanCase{19, 2, true, false, true, true, 1.0f, 3.0f},
                    // 20 in a set: that set loses its labels
                    PlanCase{20, 2, true, false, false, true, 1.0f, 3.0f},
                    PlanCase{2, 20, true, false, true, false, 3.0f, 1.0f},
                    PlanCase{99, 99, true, false, false, false, 1.0f, 1.0f},
                    // 100 in either set: no curve overlay at all
                    PlanCase{100, 2, false, false, false, false, 1.0f, 3.0f},
                    PlanCase{2, 100, false, false, false, false, 3.0f, 1.0f}),
    [](const auto& info) {
        return std::to_string(info.param.columns) + "x" + std::to_string(info.param.rows);
    });

TEST(FormatZoomLabel, PrintsTheWidenedFloatWithSixDecimals)
{
    EXPECT_EQ(FormatZoomLabel(1.0f), L"1.000000");
    // 1.1f = 1.10000002384185791015625
    EXPECT_EQ(FormatZoomLabel(1.1f), L"1.100000");
    // 1 / 1.1f = 0.909090876579284667... as a float
    EXPECT_EQ(FormatZoomLabel(0.909090876579284667969f), L"0.909091");
    // ten notches in and ten out: 0.99999988079071044921875
    EXPECT_EQ(FormatZoomLabel(0.99999988079071044921875f), L"1.000000");
    EXPECT_EQ(FormatZoomLabel(2.0f), L"2.000000");
    EXPECT_EQ(FormatZoomLabel(0.0f), L"0.000000");
    // the largest float, all 39 integer digits: the 1024-unit buffer holds it
    EXPECT_EQ(FormatZoomLabel(std::numeric_limits<float>::max()),
              L"340282346638528859811704183484516925440.000000");
    EXPECT_EQ(FormatZoomLabel(kInf), L"inf");
}

TEST(FormatCurveIndex, PrintsDecimalIndices)
{
    EXPECT_EQ(FormatCurveIndex(0), L"0");
    EXPECT_EQ(FormatCurveIndex(7), L"7");
    EXPECT_EQ(FormatCurveIndex(19), L"19");
}

}  // namespace
