// Tests of the undo history: every kind of edit undone and redone exactly, steps that change
// nothing, the byte bound, and a scene's opening with its images.
#include "scene/edit_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/refine.h"
#include "views/rubber_band.h"

namespace {

// The parts of the state the history restores (and the family, for a scene's opening).
struct Kept {
    CurveSet columns;
    CurveSet rows;
    NodeGrid grid;
    SelectionRect selection;
    friend bool operator==(const Kept&, const Kept&) = default;
};

Kept KeptOf(const MeshEditState& e)
{
    return {e.columnCurves, e.rowCurves, e.nodeGrid, e.sourceSelection};
}

void Stroke(MeshEditState& e, std::vector<Point> points)
{
    BeginStroke(e, points.front());
    for (size_t i = 1; i < points.size(); ++i)
        ExtendStroke(e, points[i]);
    EndStroke(e);
}

// One recorded edit, as the window layer records it: from the press to the end.
void Edit(EditHistory& h, MeshEditState& e, EditKind kind, const std::function<void()>& edit)
{
    h.Begin(kind, e);
    edit();
    h.Commit(e);
}

void DrawTwoByTwo(EditHistory& h, MeshEditState& e)
{
    Edit(h, e, EditKind::Mesh, [&] { Stroke(e, {{20, 0}, {22, 100}}); });
    Edit(h, e, EditKind::Mesh, [&] { Stroke(e, {{80, 0}, {78, 100}}); });
    e.activeFamily = CurveFamily::Rows;  // key T: no edit
    Edit(h, e, EditKind::Mesh, [&] { Stroke(e, {{0, 20}, {100, 18}}); });
    Edit(h, e, EditKind::Mesh, [&] { Stroke(e, {{0, 80}, {100, 82}}); });
    e.activeFamily = CurveFamily::Columns;
}

const EditHistory::ImageSwap kNoImages = [](std::unique_ptr<HeldImages>&) {};

TEST(EditHistory, UndoAndRedoOfEveryKindOfEditRestoreTheStateExactly)
{
    MeshEditState e;
    EditHistory h;
    std::vector<Kept> states{KeptOf(e)};
    auto record = [&](EditKind kind, const std::function<void()>& edit) {
        Edit(h, e, kind, edit);
        states.push_back(KeptOf(e));
    };
    record(EditKind::Selection, [&] {  // a rubber band, press to release
        BeginRubberBand(e, {10, 10});
        UpdateRubberBand(e, {60, 50});
        EndRubberBand(e, {70, 60});
    });
    record(EditKind::Mesh, [&] { Stroke(e, {{20, 0}, {22, 100}}); });
    record(EditKind::Mesh, [&] { Stroke(e, {{80, 0}, {78, 100}}); });
    e.activeFamily = CurveFamily::Rows;  // key T: no edit
    record(EditKind::Mesh, [&] { Stroke(e, {{0, 20}, {100, 18}}); });
    record(EditKind::Mesh, [&] { Stroke(e, {{0, 80}, {100, 82}}); });
    e.activeFamily = CurveFamily::Columns;
    record(EditKind::Mesh, [&] { Stroke(e, {{50, -5}, {49, 40}, {51, 105}}); });
    // A node drag, from the press that picked the node: the grid is not recomputed, so the
    // nodes along the bent curves keep their old places.
    record(EditKind::Mesh, [&] {
        ASSERT_EQ(RightButtonDown(e, {51, 19}), RightPressResult::Pressed);
        ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
        RightButtonUp(e, {40, 60});
    });
    // A stroke beyond the rows' reach recomputes and sorts the grid; its own nodes find no
    // crossing and keep what their places held.
    record(EditKind::Mesh, [&] { Stroke(e, {{300, 0}, {300, 100}}); });
    record(EditKind::Mesh, [&] {  // the curve whose label spot is (28, 8)
        ASSERT_EQ(RightButtonDown(e, {28, 8}), RightPressResult::CurveDeleted);
    });
    record(EditKind::Mesh, [&] { ASSERT_TRUE(RefineMesh(e)); });
    record(EditKind::Mesh, [&] { ClearMesh(e); });
    ASSERT_EQ(h.UndoSteps(), states.size() - 1);

    // All the way back, then forward again, then back to the middle and forward.
    for (size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(h.Undo(e, kNoImages)) << i;
        EXPECT_EQ(KeptOf(e), states[i - 1]) << "undo to state " << i - 1;
    }
    EXPECT_FALSE(h.Undo(e, kNoImages));
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(h.Redo(e, kNoImages)) << i;
        EXPECT_EQ(KeptOf(e), states[i]) << "redo to state " << i;
    }
    EXPECT_FALSE(h.Redo(e, kNoImages));
    for (int i = 0; i < 4; ++i)
        h.Undo(e, kNoImages);
    EXPECT_EQ(h.Redo(e, kNoImages), EditKind::Mesh);
    EXPECT_EQ(KeptOf(e), states[states.size() - 4]);
}

TEST(EditHistory, StepsThatChangeNothingAreNotRecordedAndANewEditDropsRedo)
{
    MeshEditState e;
    EditHistory h;
    Edit(h, e, EditKind::Mesh, [&] { Stroke(e, {{20, 0}, {22, 100}}); });
    e.activeFamily = CurveFamily::Rows;
    Edit(h, e, EditKind::Mesh, [&] { Stroke(e, {{0, 20}, {100, 18}}); });
    ASSERT_EQ(h.UndoSteps(), 2u);
    // A right press on nothing, W with one curve a family, a rubber band back where it was.
    Edit(h, e, EditKind::Mesh, [&] { RightButtonDown(e, {500, 500}); });
    Edit(h, e, EditKind::Mesh, [&] { RefineMesh(e); });
    const SelectionRect s = e.sourceSelection;
    Edit(h, e, EditKind::Selection, [&] {
        BeginRubberBand(e, {s.x, s.y});
        EndRubberBand(e, {s.x + s.width, s.y + s.height});
    });
    EXPECT_EQ(h.UndoSteps(), 2u);

    h.Undo(e, kNoImages);
    EXPECT_TRUE(h.CanRedo());
    Edit(h, e, EditKind::Mesh, [&] { ClearMesh(e); });
    EXPECT_FALSE(h.CanRedo());
    EXPECT_FALSE(h.Redo(e, kNoImages));
    // An edit still open when Z comes is committed and then undone.
    h.Begin(EditKind::Mesh, e);
    Stroke(e, {{5, 5}, {9, 9}});
    EXPECT_EQ(h.Undo(e, kNoImages), EditKind::Mesh);
    EXPECT_TRUE(e.columnCurves.empty() && e.rowCurves.empty());
}

// W held down on a 2 x 2 mesh: ten refinements reach 1025 curves a family, a grid of 16 MiB,
// and the 990 after them are refused at the mesh bound. Each step keeps the mesh before its
// refinement: the tenth 513 x 513 nodes, 4.2 MB (4,210,704 bytes of nodes), the ninth 257 x 257,
// 1.06 MB, and so on down.
TEST(EditHistory, StaysWithinItsBoundUnderAThousandRefinements)
{
    struct Case {
        uint64_t limit;
        size_t stepsKept;  // refinement steps that can be undone at the end
    };
    const Case cases[] = {
        {kHistoryByteLimit, 10},  // everything, the four strokes too
        {uint64_t(5) << 20, 1},   // the tenth alone: the ninth would pass 5 MiB
        {uint64_t(4) << 20, 0},   // the tenth step alone passes the bound: none
    };
    for (const Case& c : cases) {
        MeshEditState e;
        EditHistory h(c.limit);
        DrawTwoByTwo(h, e);
        std::vector<Kept> states{KeptOf(e)};
        int refined = 0;
        for (int i = 0; i < 1000; ++i) {
            if (RefineMeshRecorded(h, e)) {
                ++refined;
                states.push_back(KeptOf(e));
            }
            ASSERT_LE(h.Bytes(), c.limit) << i;
        }
        ASSERT_EQ(refined, 10);
        ASSERT_EQ(e.columnCurves.size(), 1025u);
        EXPECT_EQ(h.UndoSteps(), c.stepsKept + (c.stepsKept == 10 ? 4 : 0)) << c.limit;
        for (size_t k = 1; k <= c.stepsKept; ++k) {
            ASSERT_EQ(h.Undo(e, kNoImages), EditKind::Mesh);
            EXPECT_EQ(KeptOf(e), states[states.size() - 1 - k]) << c.limit << " undo " << k;
        }
        EXPECT_EQ(h.CanUndo(), c.stepsKept == 10) << c.limit;
    }
}

class TaggedImages : public HeldImages {
public:
    TaggedImages(int tag, uint64_t bytes) : tag(tag), bytes(bytes) {}
    uint64_t Bytes() const override { return bytes; }
    int tag;
    uint64_t bytes;
};

int TagOf(const std::unique_ptr<HeldImages>& images)
{
    return images ? static_cast<const TaggedImages&>(*images).tag : -1;
}

TEST(EditHistory, OpeningASceneExchangesTheImagesAndTheFamilyToo)
{
    MeshEditState e;
    EditHistory h(uint64_t(1) << 20);
    DrawTwoByTwo(h, e);
    std::unique_ptr<HeldImages> live = std::make_unique<TaggedImages>(1, 1000);
    const Kept before = KeptOf(e);

    // The opening, as the window layer does it: everything replaced, the old images handed in.
    h.Begin(EditKind::Scene, e);
    MeshEditState opened;
    Stroke(opened, {{7, 7}, {8, 90}});
    e.columnCurves = opened.columnCurves;
    e.rowCurves = opened.rowCurves;
    e.nodeGrid = opened.nodeGrid;
    e.sourceSelection = {1, 2, 3, 4};
    e.activeFamily = CurveFamily::Rows;
    std::unique_ptr<HeldImages> replaced = std::move(live);
    live = std::make_unique<TaggedImages>(2, 700000);
    h.Commit(e, std::move(replaced));
    const Kept after = KeptOf(e);
    const uint64_t withOldImages = h.Bytes();
    EXPECT_GE(withOldImages, 1000u);

    auto swap = [&](std::unique_ptr<HeldImages>& held) { held.swap(live); };
    EXPECT_EQ(h.Undo(e, swap), EditKind::Scene);
    EXPECT_EQ(KeptOf(e), before);
    EXPECT_EQ(e.activeFamily, CurveFamily::Columns);
    EXPECT_EQ(TagOf(live), 1);
    EXPECT_GE(h.Bytes(), 700000u);  // the scene's images are the ones kept now
    EXPECT_LT(h.Bytes(), withOldImages + 700000);
    EXPECT_EQ(h.Redo(e, swap), EditKind::Scene);
    EXPECT_EQ(KeptOf(e), after);
    EXPECT_EQ(e.activeFamily, CurveFamily::Rows);
    EXPECT_EQ(TagOf(live), 2);

    // A swap that fails changes nothing, and the step can still be undone.
    auto failing = [](std::unique_ptr<HeldImages>&) { throw std::bad_alloc(); };
    EXPECT_THROW(h.Undo(e, failing), std::bad_alloc);
    EXPECT_EQ(KeptOf(e), after);
    EXPECT_TRUE(h.CanUndo());
    EXPECT_EQ(h.Undo(e, swap), EditKind::Scene);
    EXPECT_EQ(TagOf(live), 1);
}

}  // namespace
