// Tests of the pane layout arithmetic: the rectangles of each mode, the proportional
// split, the Splitter drag and the wheel routing.
#include "app/layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

struct LayoutCase {
    const char* name;
    LayoutMode mode;
    int32_t width, height, splitX, splitY, selectionWidth;
    PaneLayout expected;
};

class ComputePaneLayoutTable : public testing::TestWithParam<LayoutCase> {};

TEST_P(ComputePaneLayoutTable, PlacesThePanesAsTheModeSays)
{
    const LayoutCase& c = GetParam();
    EXPECT_EQ(ComputePaneLayout(c.mode, c.width, c.height, c.splitX, c.splitY, c.selectionWidth),
              c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Modes, ComputePaneLayoutTable,
    testing::Values(
        // (600 - 4) / 2 = 298: SourcePane on top, the bar at 298..301, ResultPane from 302
        LayoutCase{"StackedMiddle", LayoutMode::Stacked, 800, 600, 0, 0, -1,
                   {{0, 0, 800, 298}, {0, 298, 800, 4}, {0, 302, 800, 298}}},
        // splitX ignored in Stacked, splitY ignored in SideBySide
        LayoutCase{"StackedGivenSplit", LayoutMode::Stacked, 800, 600, 123, 100, -1,
                   {{0, 0, 800, 100}, {0, 100, 800, 4}, {0, 104, 800, 496}}},
        LayoutCase{"SideBySideGivenSplit", LayoutMode::SideBySide, 800, 600, 300, 77, -1,
                   {{0, 0, 300, 600}, {300, 0, 4, 600}, {304, 0, 496, 600}}},
        // (801 - 4) / 2 = 398.5 truncates to 398
        LayoutCase{"SideBySideOddWidthMiddle", LayoutMode::SideBySide, 801, 600, -5, 0, -1,
                   {{0, 0, 398, 600}, {398, 0, 4, 600}, {402, 0, 399, 600}}},
        // (3 - 4) / 2 = -1 / 2 truncates toward zero to 0, not -1
        LayoutCase{"TinyClientTruncatesTowardZero", LayoutMode::SideBySide, 3, 10, 0, 0, -1,
                   {{0, 0, 0, 10}, {0, 0, 4, 10}, {4, 0, -1, 10}}},
        // a split beyond the client area reaches MoveWindow unchanged
        LayoutCase{"SplitBeyondTheEdge", LayoutMode::SideBySide, 800, 600, 900, 0, -1,
                   {{0, 0, 900, 600}, {900, 0, 4, 600}, {904, 0, -104, 600}}},
        LayoutCase{"SingleWithoutRectangle", LayoutMode::Single, 800, 600, 300, 200, -1,
                   {{0, 0, 800, 600}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
        LayoutCase{"SingleWithEmptyRectangle", LayoutMode::Single, 800, 600, 300, 200, 0,
                   {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 800, 600}}},
        // a rectangle dragged leftwards has a negative width and counts as none
        LayoutCase{"SingleWithLeftwardRectangle", LayoutMode::Single, 800, 600, 0, 0, -35,
                   {{0, 0, 800, 600}, {0, 0, 0, 0}, {0, 0, 0, 0}}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(ProportionalSplit, FirstRelayoutOfOnePixelPanesIsTheMiddle)
{
    // both panes are created 1 x 1: (796 * 1) / 2 = 398 and (596 * 1) / 2 = 298
    auto split = ProportionalSplit({1, 1}, {1, 1}, {800, 600}, false);
    ASSERT_TRUE(split);
    EXPECT_EQ(*split, (Point{398, 298}));
    PaneLayout layout = ComputePaneLayout(LayoutMode::Stacked, 800, 600, split->x, split->y, -1);
    EXPECT_EQ(layout.source.height, (600 - 4) / 2);
    EXPECT_EQ(layout.splitter.y, 298);
    EXPECT_EQ(layout.result, (PaneRect{0, 302, 800, 298}));
}

TEST(ProportionalSplit, KeyPFromSingleWithoutRectangleParksTheBarAtTheRightEdge)
{
    // SourcePane W x H, ResultPane 0 x 0: (W - 4) * W / W = W - 4
    auto split = ProportionalSplit({800, 600}, {0, 0}, {800, 600}, false);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->x, 796);
    PaneLayout layout = ComputePaneLayout(LayoutMode::SideBySide, 800, 600, split->x, split->y, -1);
    EXPECT_EQ(layout.splitter, (PaneRect{796, 0, 4, 600}));
    EXPECT_EQ(layout.result, (PaneRect{800, 0, 0, 600}));
}

TEST(ProportionalSplit, KeyPFromSingleWithRectangleGivesTheMiddle)
{
    // SourcePane 0 x 0: splitX = (W - 4) * 0 / W = 0, which stands for the middle
    auto split = ProportionalSplit({0, 0}, {800, 600}, {800, 600}, false);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->x, 0);
    PaneLayout layout = ComputePaneLayout(LayoutMode::SideBySide, 800, 600, split->x, split->y, 5);
    EXPECT_EQ(layout.source, (PaneRect{0, 0, 398, 600}));
}

TEST(ProportionalSplit, SideBySideToStackedHalvesTheHeight)
{
    // both panes full height: (600 - 4) * 600 / 1200 = 298 = (600 - 4) / 2
    auto split = ProportionalSplit({398, 600}, {398, 600}, {800, 600}, false);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->y, 298);
}

TEST(ProportionalSplit, ResizeKeepsTheShareUpToTruncation)
{
    // 300 of 796 was the share; at width 1000: 996 * 300 / 796 = 298800 / 796 = 375.37...
    auto split = ProportionalSplit({300, 600}, {496, 600}, {1000, 700}, false);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->x, 375);
    // and the vertical share of full-height panes is not kept: 696 * 600 / 1200 = 348
    EXPECT_EQ(split->y, 348);
}

TEST(ProportionalSplit, SkipsEmptySumsAndAMinimisedWindow)
{
    EXPECT_FALSE(ProportionalSplit({0, 5}, {0, 5}, {800, 600}, false));  // sumX 0
    EXPECT_FALSE(ProportionalSplit({5, 0}, {5, 0}, {800, 600}, false));  // sumY 0
    EXPECT_FALSE(ProportionalSplit({0, 0}, {0, 0}, {800, 600}, false));
    // minimised: the client area is 0 x 0 and would squeeze both panes to nothing
    EXPECT_FALSE(ProportionalSplit({398, 600}, {398, 600}, {0, 0}, true));
    EXPECT_FALSE(ProportionalSplit({398, 600}, {398, 600}, {800, 600}, true));
}

TEST(ProportionalSplit, HugeExtentsDoNotOverflow)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    // (kMax - 4) * kMax / (kMax + kMax) = (kMax - 4) / 2 = 1073741821 (kMax - 4 is odd)
    auto split = ProportionalSplit({kMax, 1}, {kMax, 1}, {kMax, 4}, false);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->x, 1073741821);
    EXPECT_EQ(split->y, 0);
}

TEST(SplitterDragSplit, MovesTheBarByThePointerTravel)
{
    // the bar's corner was at (0, 298); pressed at screen (100, 400), now at (130, 350)
    EXPECT_EQ(SplitterDragSplit({0, 298}, {100, 400}, {130, 350}), (Point{30, 248}));
    // dragged 400 up: y = 298 - 400 = -102, which LayoutPanes reads as the middle
    Point past = SplitterDragSplit({0, 298}, {100, 400}, {100, 0});
    EXPECT_EQ(past.y, -102);
    PaneLayout layout = ComputePaneLayout(LayoutMode::Stacked, 800, 600, past.x, past.y, -1);
    EXPECT_EQ(layout.source.height, 298);
}

TEST(NextLayoutMode, CyclesStackedSingleSideBySide)
{
    EXPECT_EQ(NextLayoutMode(LayoutMode::Stacked), LayoutMode::Single);
    EXPECT_EQ(NextLayoutMode(LayoutMode::Single), LayoutMode::SideBySide);
    EXPECT_EQ(NextLayoutMode(LayoutMode::SideBySide), LayoutMode::Stacked);
}

// Stacked in a 1000 x 604 client area at screen (100, 50): SourcePane (0, 0, 1000, 300),
// the Splitter at y 300..303, ResultPane (0, 304, 1000, 300); Single with a rectangle
// marked: ResultPane the whole area.
TEST(WheelTargetAt, ThePaneUnderThePointerInClientPixels)
{
    const Point origin{100, 50};
    const PaneLayout stacked = ComputePaneLayout(LayoutMode::Stacked, 1000, 604, 0, 0, -1);
    const PaneLayout single = ComputePaneLayout(LayoutMode::Single, 1000, 604, 0, 0, 0);
    struct Case {
        int16_t x, y;  // screen
        const PaneLayout& layout;
        WheelTarget target;
    };
    const Case cases[] = {
        {110, 60, stacked, WheelTarget::SourcePane},    // client (10, 10)
        {110, 349, stacked, WheelTarget::SourcePane},   // client y 299, the last row
        {110, 350, stacked, WheelTarget::None},         // y 300: the Splitter
        {1099, 353, stacked, WheelTarget::None},        // y 303: still the Splitter
        {110, 354, stacked, WheelTarget::ResultPane},   // y 304
        {610, 653, stacked, WheelTarget::ResultPane},   // client (510, 603), the last row
        {610, 654, stacked, WheelTarget::None},         // below the client area
        {1099, 100, stacked, WheelTarget::SourcePane},  // x 999
        {1100, 100, stacked, WheelTarget::None},        // x 1000: right of it
        {99, 400, stacked, WheelTarget::None},          // x -1: left of it
        {-16, 400, stacked, WheelTarget::None},         // a monitor left of the primary one
        {110, 60, single, WheelTarget::ResultPane},     // SourcePane hidden, 0 x 0 at (0, 0)
        {1100, 60, single, WheelTarget::None},
    };
    for (const Case& c : cases) {
        const uint32_t lParam = uint32_t(uint16_t(c.x)) | uint32_t(uint16_t(c.y)) << 16;
        EXPECT_EQ(WheelTargetAt(lParam, origin, c.layout.source, c.layout.result), c.target)
            << c.x << ", " << c.y;
    }
    // The client origin may lie left of the primary monitor: (-16, 400) is then inside.
    EXPECT_EQ(WheelTargetAt(0x0190FFF0u, Point{-200, 0}, stacked.source, stacked.result),
              WheelTarget::ResultPane);
}

}  // namespace
