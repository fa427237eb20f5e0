// Tests of the undo history: every kind of edit undone and redone exactly, steps that change
// nothing, the byte bound, and a scene's opening with its images.
#include "mesh/edit_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/refine.h"
#include "mesh/rubber_band.h"

namespace {

// What the history restores (the family only for a scene's opening).
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

// One edit as the window layer records it, from the press to the end.
void Edit(EditHistory& h, MeshEditState& e, const std::function<void()>& edit,
          EditKind kind = EditKind::Mesh)
{
    h.Begin(kind, e);
    edit();
    h.Commit(e);
}

void DrawTwoByTwo(EditHistory& h, MeshEditState& e)
{
    Edit(h, e, [&] { Stroke(e, {{20, 0}, {22, 100}}); });
    Edit(h, e, [&] { Stroke(e, {{80, 0}, {78, 100}}); });
    e.activeFamily = CurveFamily::Rows;  // key T: no edit
    Edit(h, e, [&] { Stroke(e, {{0, 20}, {100, 18}}); });
    Edit(h, e, [&] { Stroke(e, {{0, 80}, {100, 82}}); });
    e.activeFamily = CurveFamily::Columns;
}

const EditHistory::ImageSwap kNoImages = [](std::unique_ptr<HeldImages>&) {};

TEST(EditHistory, UndoAndRedoOfEveryKindOfEditRestoreTheStateExactly)
{
    MeshEditState e;
    EditHistory h;
    DrawTwoByTwo(h, e);
    std::vector<Kept> states{KeptOf(e)};
    auto record = [&](const std::function<void()>& edit, EditKind kind = EditKind::Mesh) {
        Edit(h, e, edit, kind);
        states.push_back(KeptOf(e));
    };
    auto rubberBand = [&] {
        BeginRubberBand(e, {10, 10});
        EndRubberBand(e, {70, 60});
    };
    record(rubberBand, EditKind::Selection);
    record([&] { Stroke(e, {{50, -5}, {49, 40}, {51, 105}}); });
    record([&] {  // a node drag, press to release: the nodes along the bent curves go stale
        ASSERT_EQ(RightButtonDown(e, {51, 19}), RightPressResult::Pressed);
        ASSERT_EQ(e.interactionMode, InteractionMode::NodeDrag);
        RightButtonUp(e, {40, 60});
    });
    record([&] { Stroke(e, {{300, 0}, {300, 100}}); });  // crosses no row: its nodes stay stale
    record([&] { ASSERT_EQ(RightButtonDown(e, {28, 8}), RightPressResult::CurveDeleted); });
    record([&] { ASSERT_TRUE(RefineMesh(e)); });
    record([&] { ClearMesh(e); });
    // Nothing changed: a right press on nothing, Delete on an empty mesh, a rubber band put
    // back where it was.
    Edit(h, e, [&] { RightButtonDown(e, {500, 500}); });
    Edit(h, e, [&] { ClearMesh(e); });
    Edit(h, e, rubberBand, EditKind::Selection);
    ASSERT_EQ(h.UndoSteps(), 4 + states.size() - 1);

    // each undo and redo also tells ResultPane that what it kept is stale
    for (size_t i = states.size() - 1; i > 0; --i) {
        const uint64_t version = e.contentVersion;
        ASSERT_TRUE(h.Undo(e, kNoImages));
        EXPECT_EQ(KeptOf(e), states[i - 1]) << "undo to state " << i - 1;
        EXPECT_NE(e.contentVersion, version) << "undo to state " << i - 1;
    }
    for (size_t i = 1; i < states.size(); ++i) {
        const uint64_t version = e.contentVersion;
        ASSERT_TRUE(h.Redo(e, kNoImages));
        EXPECT_EQ(KeptOf(e), states[i]) << "redo to state " << i;
        EXPECT_NE(e.contentVersion, version) << "redo to state " << i;
    }
    EXPECT_FALSE(h.Redo(e, kNoImages));
    for (int i = 0; i < 3; ++i)
        h.Undo(e, kNoImages);
    // A new edit drops what could be redone; one still open when Z comes is undone at once.
    h.Begin(EditKind::Mesh, e);
    Stroke(e, {{5, 5}, {9, 9}});
    EXPECT_EQ(h.Undo(e, kNoImages), EditKind::Mesh);
    EXPECT_EQ(KeptOf(e), states[states.size() - 4]);
    EXPECT_EQ(h.RedoSteps(), 1u);  // the stroke's own
}

// The position tells whether the state is one the history recorded before (what a saved scene
// holds): the same after undo and redo lead back, a new one after any other way there.
TEST(EditHistory, PositionComesBackOnlyWithTheSameRecordedState)
{
    MeshEditState e;
    EditHistory h;
    const uint64_t p0 = h.Position();
    Edit(h, e, [&] { Stroke(e, {{20, 0}, {22, 100}}); });
    const uint64_t pA = h.Position();
    Edit(h, e, [] {});  // a press that changed nothing
    EXPECT_EQ(h.Position(), pA) << "an edit that changed nothing moved the position";
    Edit(h, e, [&] { Stroke(e, {{80, 0}, {78, 100}}); });
    const uint64_t pB = h.Position();
    EXPECT_TRUE(p0 != pA && pA != pB && p0 != pB);

    h.Undo(e, kNoImages);
    EXPECT_EQ(h.Position(), pA);
    h.Undo(e, kNoImages);
    EXPECT_EQ(h.Position(), p0);
    EXPECT_FALSE(h.Undo(e, kNoImages));
    EXPECT_EQ(h.Position(), p0) << "nothing to undo";
    h.Redo(e, kNoImages);
    EXPECT_EQ(h.Position(), pA);
    h.Redo(e, kNoImages);
    EXPECT_EQ(h.Position(), pB);

    // Undone to A, then another stroke: not B again, though as many steps lead there.
    h.Undo(e, kNoImages);
    Edit(h, e, [&] { Stroke(e, {{50, 0}, {50, 100}}); });
    const uint64_t pC = h.Position();
    EXPECT_TRUE(pC != p0 && pC != pA && pC != pB);
    // Undone back to the state before it, the position of that state returns.
    h.Undo(e, kNoImages);
    EXPECT_EQ(h.Position(), pA);

    // A clearing: the state no longer follows from a recorded one.
    h.Clear();
    EXPECT_TRUE(h.Position() != p0 && h.Position() != pA && h.Position() != pB &&
                h.Position() != pC);

    // A step too large for the bound is not kept, but its edit was made.
    EditHistory small(64);
    const uint64_t before = small.Position();
    Edit(small, e, [&] { Stroke(e, {{10, 0}, {10, 100}}); });
    EXPECT_EQ(small.UndoSteps(), 0u);
    EXPECT_NE(small.Position(), before) << "an edit the history could not keep looks saved";
}

// W held down on a 2 x 2 mesh: ten refinements reach 1025 curves a family, and the 990 after
// them are refused at the mesh bound. Each step keeps the mesh before its refinement: the
// tenth 513 x 513 nodes (4,210,704 bytes of them), the ninth 257 x 257 (1,056,784), ...
TEST(EditHistory, StaysWithinItsBoundUnderAThousandRefinements)
{
    struct Case {
        uint64_t limit;
        size_t refinementsKept;
    };
    const Case cases[] = {
        {kHistoryByteLimit, 10},  // all, and the four strokes too
        {uint64_t(5) << 20, 1},   // the tenth alone: with the ninth it would pass 5 MiB
        {uint64_t(4) << 20, 0},   // the tenth alone passes the bound: the history starts afresh
    };
    for (const Case& c : cases) {
        MeshEditState e;
        EditHistory h(c.limit);
        DrawTwoByTwo(h, e);
        std::vector<Kept> states{KeptOf(e)};
        std::vector<uint64_t> positions{h.Position()};
        for (int i = 0; i < 1000; ++i) {
            if (RefineMeshRecorded(h, e)) {
                states.push_back(KeptOf(e));
                positions.push_back(h.Position());
            }
            ASSERT_LE(h.Bytes(), c.limit) << i;
        }
        ASSERT_EQ(states.size(), 11u);
        EXPECT_EQ(h.UndoSteps(), c.refinementsKept + (c.refinementsKept == 10 ? 4 : 0));
        for (size_t k = 1; k <= c.refinementsKept; ++k) {
            ASSERT_TRUE(h.Undo(e, kNoImages));
            EXPECT_EQ(KeptOf(e), states[10 - k]) << c.limit << " undo " << k;
            // down to the state of a step the bound dropped
            EXPECT_EQ(h.Position(), positions[10 - k]) << c.limit << " undo " << k;
        }
    }
}

struct TaggedImages : HeldImages {
    TaggedImages(int tag, uint64_t bytes) : tag(tag), bytes(bytes) {}
    uint64_t Bytes() const override { return bytes; }
    int tag;
    uint64_t bytes;
};

int TagOf(const std::unique_ptr<HeldImages>& images)
{
    return static_cast<const TaggedImages&>(*images).tag;
}

TEST(EditHistory, OpeningASceneExchangesTheImagesAndTheFamilyToo)
{
    MeshEditState e;
    EditHistory h;
    DrawTwoByTwo(h, e);
    const Kept before = KeptOf(e);
    std::unique_ptr<HeldImages> live = std::make_unique<TaggedImages>(1, 1000);
    // The opening as the window layer makes it: everything replaced, the old images handed in.
    h.Begin(EditKind::Scene, e);
    e.columnCurves.resize(1);
    e.sourceSelection = {1, 2, 3, 4};
    e.activeFamily = CurveFamily::Rows;
    std::unique_ptr<HeldImages> replaced =
        std::exchange(live, std::make_unique<TaggedImages>(2, 0));
    h.Commit(e, std::move(replaced));
    const Kept after = KeptOf(e);
    EXPECT_GE(h.Bytes(), 1000u);

    auto swap = [&](std::unique_ptr<HeldImages>& held) { held.swap(live); };
    auto failing = [](std::unique_ptr<HeldImages>&) { throw std::bad_alloc(); };
    const uint64_t opened = h.Position();
    EXPECT_THROW(h.Undo(e, failing), std::bad_alloc);  // changes nothing
    EXPECT_EQ(KeptOf(e), after);
    EXPECT_EQ(h.Position(), opened);
    EXPECT_EQ(h.Undo(e, swap), EditKind::Scene);
    EXPECT_TRUE(KeptOf(e) == before && e.activeFamily == CurveFamily::Columns && TagOf(live) == 1);
    EXPECT_EQ(h.Redo(e, swap), EditKind::Scene);
    EXPECT_TRUE(KeptOf(e) == after && e.activeFamily == CurveFamily::Rows && TagOf(live) == 2);
}

}  // namespace
