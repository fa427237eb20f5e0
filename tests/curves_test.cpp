// Tests of the canvas extent and of the saturation of wide intermediates.
#include "mesh/curves.h"
#include "mesh/int_math.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(SaturateToInt32, ClampsOnlyWhatLeavesTheRange)
{
    struct Case {
        int64_t in;
        int32_t out;
    };
    const Case cases[] = {
        {0, 0},
        {-5, -5},
        {kMax, kMax},
        {int64_t(kMax) + 1, kMax},
        {kMin, kMin},
        {int64_t(kMin) - 1, kMin},
        {std::numeric_limits<int64_t>::max(), kMax},
        {std::numeric_limits<int64_t>::min(), kMin},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SaturateToInt32(c.in), c.out) << c.in;
}

struct CanvasCase {
    const char* name;
    CurveSet columns;
    CurveSet rows;
    int32_t width;
    int32_t height;
};

const CanvasCase kCanvasCases[] = {
    {"NoCurvesGiveTwoByTwo", {}, {}, 2, 2},
    {"NegativePointsNeverEnlargeIt", {Curve{{-10, -3}, {-1, -200}}}, {Curve{{-7, -7}}}, 2, 2},
    // Greatest x 30 (a row point), greatest y 20 (a column point): 32 by 22.
    {"GreatestCoordinatesOfBothFamiliesPlusTwo",
     {Curve{{10, 3}, {4, 20}}},
     {Curve{{30, -5}}, Curve{{-100, 19}}},
     32,
     22},
    {"ZeroIsAPoint", {Curve{{0, 0}}}, {}, 2, 2},
    // INT32_MAX + 2 does not fit: it saturates.
    {"PointsAtTheLimitSaturate", {Curve{{kMax, kMax - 1}}}, {Curve{{kMin, kMin}}}, kMax, kMax},
    {"JustBelowTheLimit", {Curve{{kMax - 2, kMax - 3}}}, {}, kMax, kMax - 1},
};

class MeasureCanvasTable : public testing::TestWithParam<CanvasCase> {};

TEST_P(MeasureCanvasTable, SpansTheGreatestCoordinates)
{
    const CanvasCase& c = GetParam();
    int32_t width = -77;  // overwritten, not accumulated
    int32_t height = -77;
    MeasureCanvas(c.columns, c.rows, width, height);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Worked, MeasureCanvasTable, testing::ValuesIn(kCanvasCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
