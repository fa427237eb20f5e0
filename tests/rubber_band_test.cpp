// Tests of SourcePane's rubber band over the editing state.
#include "mesh/rubber_band.h"
#include "app/pane_input.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

uint32_t PanePosition(int16_t x, int16_t y)
{
    return uint32_t(uint16_t(x)) | (uint32_t(uint16_t(y)) << 16);
}

TEST(RubberBand, StartsWithNothingMarked)
{
    MeshEditState e;
    EXPECT_EQ(e.sourceSelection, (SelectionRect{0, 0, -1, 0}));
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
}

TEST(RubberBand, AtZoomTwoThePressHalvesAndTheReleaseGoesNegative)
{
    MeshEditState e;
    // pane (101, 51) / 2.0 = (50.5, 25.5), truncated: the origin (50, 25)
    BeginRubberBand(e, PanePointFromLParam(PanePosition(101, 51), 2.0f));
    EXPECT_EQ(e.interactionMode, InteractionMode::Selecting);
    EXPECT_EQ(e.sourceSelection, (SelectionRect{50, 25, -1, 0}));  // size kept until a move
    // release at (31, 21) / 2 = (15, 10): width 15 - 50 = -35, height 10 - 25 = -15
    EXPECT_TRUE(EndRubberBand(e, PanePointFromLParam(PanePosition(31, 21), 2.0f)));
    EXPECT_EQ(e.sourceSelection, (SelectionRect{50, 25, -35, -15}));
    EXPECT_EQ(e.interactionMode, InteractionMode::Idle);
}

TEST(RubberBand, PressAndReleaseInPlaceMarksAnEmptyRectangle)
{
    MeshEditState e;
    BeginRubberBand(e, {40, 30});
    EXPECT_TRUE(EndRubberBand(e, {40, 30}));
    EXPECT_EQ(e.sourceSelection, (SelectionRect{40, 30, 0, 0}));
}

TEST(RubberBand, MovesFollowAndANewPressKeepsTheOldSize)
{
    MeshEditState e;
    BeginRubberBand(e, {10, 20});
    UpdateRubberBand(e, {110, 70});
    EXPECT_EQ(e.sourceSelection, (SelectionRect{10, 20, 100, 50}));
    UpdateRubberBand(e, {5, 90});
    EXPECT_EQ(e.sourceSelection, (SelectionRect{10, 20, -5, 70}));
    EXPECT_TRUE(EndRubberBand(e, {60, 40}));
    BeginRubberBand(e, {200, 100});
    EXPECT_EQ(e.sourceSelection, (SelectionRect{200, 100, 50, 20}));
}

// A band that ends without its release (a lost capture) ends at the last position it saw:
// the press itself when no move came, which marks an empty rectangle, not the old size.
TEST(RubberBand, RemembersTheLastPositionForAnEndWithoutRelease)
{
    MeshEditState e;
    e.sourceSelection = {0, 0, 50, 20};
    BeginRubberBand(e, {200, 100});
    EXPECT_TRUE(EndRubberBand(e, e.lastPointer));
    EXPECT_EQ(e.sourceSelection, (SelectionRect{200, 100, 0, 0}));
    BeginRubberBand(e, {10, 20});
    UpdateRubberBand(e, {110, 70});
    UpdateRubberBand(e, {5, 90});
    EXPECT_TRUE(EndRubberBand(e, e.lastPointer));
    EXPECT_EQ(e.sourceSelection, (SelectionRect{10, 20, -5, 70}));
}

TEST(RubberBand, AReleaseWithoutABandChangesNothing)
{
    const InteractionMode others[] = {InteractionMode::Idle, InteractionMode::SplitterDrag,
                                      InteractionMode::Stroke, InteractionMode::NodeDrag};
    for (InteractionMode mode : others) {
        MeshEditState e;
        e.interactionMode = mode;
        e.sourceSelection = {1, 2, 3, 4};
        EXPECT_FALSE(EndRubberBand(e, {100, 100}));
        EXPECT_EQ(e.sourceSelection, (SelectionRect{1, 2, 3, 4}));
        EXPECT_EQ(e.interactionMode, mode);
    }
}

TEST(RubberBand, SizesSaturateWhenFarOutZoomGivesExtremePositions)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    MeshEditState e;
    BeginRubberBand(e, {kMin, kMax});
    UpdateRubberBand(e, {kMax, kMin});
    EXPECT_EQ(e.sourceSelection.width, kMax);   // 2^32 - 1 does not fit
    EXPECT_EQ(e.sourceSelection.height, kMin);  // -(2^32 - 1) does not fit
}

}  // namespace
