// Undo steps as exchanges with the live state: no step is ever copied after its press, and
// undoing or redoing a step swaps containers instead of copying them.
#include "mesh/edit_history.h"

#include <new>

#include <utility>

namespace {

uint64_t CurveSetBytes(const CurveSet& set)
{
    uint64_t bytes = set.capacity() * sizeof(Curve);
    for (const Curve& c : set)
        bytes += c.capacity() * sizeof(Point);
    return bytes;
}

uint64_t GridBytes(const NodeGrid& grid)
{
    uint64_t bytes = grid.capacity() * sizeof(NodeRow);
    for (const NodeRow& row : grid)
        bytes += row.capacity() * sizeof(MeshNode);
    return bytes;
}

bool CoversMesh(EditKind kind) { return kind != EditKind::Selection; }
bool CoversSelection(EditKind kind) { return kind != EditKind::Mesh; }

}  // namespace

uint64_t EditHistory::StepBytes(const Step& s)
{
    return sizeof(Step) + CurveSetBytes(s.columns) + CurveSetBytes(s.rows) + GridBytes(s.grid) +
           (s.images ? s.images->Bytes() : 0);
}

bool EditHistory::Unchanged(const Step& s, const MeshEditState& e)
{
    if (s.kind == EditKind::Scene)
        return false;  // its images are new objects whatever they hold
    if (CoversSelection(s.kind) && !(s.selection == e.sourceSelection))
        return false;
    return !CoversMesh(s.kind) ||
           (s.columns == e.columnCurves && s.rows == e.rowCurves && s.grid == e.nodeGrid);
}

// A copy that runs out of memory leaves the step marked: its edit goes ahead all the same, and
// its commit then clears the history, whose steps no longer lead back from the state.
void EditHistory::Begin(EditKind kind, const MeshEditState& e)
{
    if (open_)
        Commit(e);
    try {
        open_.emplace(OpenStep{Step{}, false});
        Step& s = open_->step;
        s.kind = kind;
        s.selection = e.sourceSelection;
        s.family = e.activeFamily;
        if (CoversMesh(kind)) {
            s.columns = e.columnCurves;
            s.rows = e.rowCurves;
            s.grid = e.nodeGrid;
        }
    } catch (const std::bad_alloc&) {
        open_.reset();
        open_.emplace(OpenStep{Step{}, true});  // an empty step: no allocation
    }
}

void EditHistory::Commit(const MeshEditState& e, std::unique_ptr<HeldImages> replaced)
{
    if (!open_)
        return;
    OpenStep open = std::move(*open_);
    open_.reset();
    if (open.failed) {
        Clear();
        return;
    }
    if (Unchanged(open.step, e))
        return;
    open.step.images = std::move(replaced);
    Push(std::move(open.step));
}

// A step larger than the whole bound cannot be kept, and without it the steps before would
// undo the wrong state: the history starts afresh. So it does when memory runs out here.
void EditHistory::Push(Step&& step)
{
    step.bytes = StepBytes(step);
    if (undo_.empty())
        base_ = position_;
    step.position = position_ = ++lastPosition_;  // the edit is made, whether it is kept or not
    redo_.clear();
    if (step.bytes > byteLimit_) {
        Clear();
        return;
    }
    try {
        undo_.push_back(std::move(step));
    } catch (const std::bad_alloc&) {
        Clear();
        return;
    }
    bytes_ = 0;  // the steps that could be redone are gone
    for (const Step& s : undo_)
        bytes_ += s.bytes;
    Trim();
}

void EditHistory::Exchange(Step& s, MeshEditState& e, const ImageSwap& swapImages)
{
    if (s.kind == EditKind::Scene) {
        swapImages(s.images);  // first: it is the one part that can fail
        std::swap(s.family, e.activeFamily);
    }
    if (CoversMesh(s.kind)) {
        s.columns.swap(e.columnCurves);
        s.rows.swap(e.rowCurves);
        s.grid.swap(e.nodeGrid);
    }
    if (CoversSelection(s.kind))
        std::swap(s.selection, e.sourceSelection);
    MarkContentChanged(e);
    bytes_ -= s.bytes;
    s.bytes = StepBytes(s);
    bytes_ += s.bytes;
}

// The step at the back of `from` exchanged with the live state and moved to the back of `to`.
// The place in `to` is made first, and the exchange can fail only before it changes anything,
// so running out of memory changes nothing.
std::optional<EditKind> EditHistory::Move(std::deque<Step>& from, std::deque<Step>& to,
                                          MeshEditState& e, const ImageSwap& swapImages)
{
    if (from.empty())
        return std::nullopt;
    to.emplace_back();
    try {
        Exchange(from.back(), e, swapImages);
    } catch (...) {
        to.pop_back();
        throw;
    }
    std::swap(to.back(), from.back());
    from.pop_back();
    const EditKind kind = to.back().kind;
    if (&to == &undo_)
        position_ = to.back().position;
    else
        position_ = undo_.empty() ? base_ : undo_.back().position;
    Trim();
    return kind;
}

std::optional<EditKind> EditHistory::Undo(MeshEditState& e, const ImageSwap& swapImages)
{
    if (open_)
        Commit(e);
    return Move(undo_, redo_, e, swapImages);
}

std::optional<EditKind> EditHistory::Redo(MeshEditState& e, const ImageSwap& swapImages)
{
    if (open_)
        Commit(e);
    return Move(redo_, undo_, e, swapImages);
}

void EditHistory::Clear()
{
    undo_.clear();
    redo_.clear();
    open_.reset();
    bytes_ = 0;
    position_ = base_ = ++lastPosition_;
}

// Oldest steps go first; should the steps that can be redone alone pass the bound, the one
// farthest from the present goes, so that what remains still redoes in order.
void EditHistory::Trim()
{
    while (bytes_ > byteLimit_ && !undo_.empty()) {
        bytes_ -= undo_.front().bytes;
        base_ = undo_.front().position;
        undo_.pop_front();
    }
    while (bytes_ > byteLimit_ && !redo_.empty()) {
        bytes_ -= redo_.front().bytes;
        redo_.pop_front();
    }
}
