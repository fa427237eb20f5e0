// Refinement and its undo step while memory runs out: the global operator new is replaced so
// that it throws after a chosen number of allocations, which is why this is a program of its
// own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "mesh/refine.h"
#include "mesh/edit_history.h"

namespace {

bool gFailArmed = false;
long gAllocationsLeft = 0;
long gAllocationsMade = 0;

// Arms the failure for the lifetime of the guard: the next `allowed` allocations succeed, the
// one after throws.
struct FailAfter {
    explicit FailAfter(long allowed)
    {
        gAllocationsLeft = allowed;
        gAllocationsMade = 0;
        gFailArmed = true;
    }
    ~FailAfter() { gFailArmed = false; }
};

}  // namespace

void* operator new(std::size_t size)
{
    if (gFailArmed) {
        if (gAllocationsLeft == 0)
            throw std::bad_alloc();
        --gAllocationsLeft;
        ++gAllocationsMade;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// A mesh with curves of different lengths, one without points, and a grid holding stale
// nodes beside the crossings.
MeshEditState SampleMesh()
{
    MeshEditState e;
    for (int32_t x : {0, 30, 60, 90})
        e.columnCurves.push_back(Curve{{x, -5}, {x + 3, 40}, {x, 100}});
    e.columnCurves.push_back(Curve{});
    for (int32_t y : {0, 50, 100})
        e.rowCurves.push_back(Curve{{-5, y}, {50, y + 2}, {80, y}, {120, y}});
    e.nodeGrid = {NodeRow(2, MeshNode{9, 9, 9, 9})};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    e.interactionMode = InteractionMode::NodeDrag;
    e.dragRow = 2;
    e.dragColumn = 1;
    return e;
}

void ExpectSameMesh(const MeshEditState& a, const MeshEditState& b, long allowed)
{
    EXPECT_EQ(a.columnCurves, b.columnCurves) << allowed;
    EXPECT_EQ(a.rowCurves, b.rowCurves) << allowed;
    EXPECT_EQ(a.nodeGrid, b.nodeGrid) << allowed;
    EXPECT_EQ(a.interactionMode, b.interactionMode) << allowed;
    EXPECT_EQ(a.dragRow, b.dragRow) << allowed;
    EXPECT_EQ(a.dragColumn, b.dragColumn) << allowed;
}

TEST(RefineMeshWithoutMemory, LeavesTheMeshAsItWasWhenAnyAllocationFails)
{
    const MeshEditState original = SampleMesh();
    MeshEditState expected = original;
    ASSERT_TRUE(RefineMesh(expected));

    long failures = 0;
    for (long allowed = 0;; ++allowed) {
        ASSERT_LT(allowed, 100000) << "refinement never completed";
        MeshEditState e = original;
        bool refined;
        {
            FailAfter guard(allowed);
            refined = RefineMesh(e);
        }
        if (!refined) {
            ++failures;
            ExpectSameMesh(e, original, allowed);
            if (testing::Test::HasFailure())
                return;
            continue;
        }
        // The first count that suffices gives the full refinement.
        ExpectSameMesh(e, expected, allowed);
        break;
    }
    // Every allocation of the sets, their curves and the grid was made to fail once.
    EXPECT_GT(failures, 20);
}

TEST(RefineMeshWithoutMemory, KeepsTheMeshAfterRefiningUntilMemoryRunsOut)
{
    // A budget that lets a few refinements through and then runs dry: the last good mesh
    // stays, usable for a further edit.
    MeshEditState e = SampleMesh();
    long refinements = 0;
    {
        FailAfter guard(3000);
        while (RefineMesh(e))
            ++refinements;
    }
    EXPECT_GE(refinements, 1);
    const size_t columns = e.columnCurves.size();
    EXPECT_EQ(columns, (size_t(5) - 1) * (size_t(1) << refinements) + 1);
    EXPECT_TRUE(GridHasShape(e.nodeGrid, e.rowCurves.size(), columns));
    EXPECT_TRUE(RefineMesh(e));
    EXPECT_EQ(e.columnCurves.size(), 2 * columns - 1);
}

TEST(InsertMidCurvesWithoutMemory, LeavesTheSetAsItWasWhenAnAllocationFails)
{
    const CurveSet original = SampleMesh().rowCurves;
    for (long allowed = 0; allowed < 6; ++allowed) {
        CurveSet set = original;
        bool threw = false;
        {
            FailAfter guard(allowed);
            try {
                InsertMidCurves(set);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
        }
        EXPECT_TRUE(threw) << allowed;
        EXPECT_EQ(set, original) << allowed;
    }
}

// A step that cannot be kept, whether its copy at the press or its place in the history runs
// out of memory, leaves the edit itself done; the history then starts afresh rather than undo
// to a state it never recorded. Once memory suffices, the step undoes exactly.
TEST(EditHistoryWithoutMemory, AStepThatCannotBeKeptLeavesTheEditDone)
{
    MeshEditState refined = SampleMesh();
    refined.interactionMode = InteractionMode::Idle;
    const MeshEditState original = refined;
    ASSERT_TRUE(RefineMesh(refined));
    for (bool failAtCommit : {false, true}) {
        long failures = 0;
        for (long allowed = 0;; ++allowed) {
            ASSERT_LT(allowed, 100000);
            MeshEditState e = original;
            EditHistory h;
            // Earlier steps, so that a cleared history shows, and enough of them that the
            // next one needs a new block of the history's own.
            for (int32_t i = 0; i < 3; ++i) {
                h.Begin(EditKind::Mesh, e);
                e.columnCurves.push_back(Curve{{i, i}});
                h.Commit(e);
            }
            e = original;
            {
                FailAfter guard(failAtCommit ? 1000000 : allowed);
                h.Begin(EditKind::Mesh, e);
            }
            ASSERT_TRUE(RefineMesh(e));
            {
                FailAfter guard(failAtCommit ? allowed : 1000000);
                h.Commit(e);
            }
            ExpectSameMesh(e, refined, allowed);
            if (h.UndoSteps() != 4) {
                ++failures;
                EXPECT_FALSE(h.CanUndo()) << allowed;
                continue;
            }
            ASSERT_TRUE(h.Undo(e, [](std::unique_ptr<HeldImages>&) {}));
            ExpectSameMesh(e, original, allowed);
            break;
        }
        EXPECT_GT(failures, failAtCommit ? 0 : 5) << failAtCommit;
    }
}

}  // namespace
