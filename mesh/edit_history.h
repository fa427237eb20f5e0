// The editor's undo history. A step keeps the part of the state that one edit changed, as it
// was before the edit; undoing exchanges it with the live state, so the same step then holds
// what redoing puts back. The steps together stay within a byte bound, oldest dropped first.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "mesh/editing.h"

// What an edit changes, and so what its step keeps: the curves and the grid (strokes, curve
// deletions, node drags, refinement, clearing), SourceSelection (a rubber band), or all of it
// with the active family and the images (opening a scene).
enum class EditKind { Mesh = 0, Selection = 1, Scene = 2 };

// The images a scene's opening replaced, made by the window layer; the history only keeps them
// and counts their bytes.
class HeldImages {
public:
    virtual ~HeldImages() = default;
    virtual uint64_t Bytes() const = 0;
};

inline constexpr uint64_t kHistoryByteLimit = uint64_t(256) << 20;

// One step: the part of the state its kind covers, before the edit until it is undone and
// after it while it can be redone.
struct EditStep {
    EditKind kind = EditKind::Mesh;
    CurveSet columns;
    CurveSet rows;
    NodeGrid grid;
    SelectionRect selection;
    CurveFamily family = CurveFamily::Columns;
    std::unique_ptr<HeldImages> images;
    uint64_t bytes = 0;
    uint64_t position = 0;  // the history's position with this edit made
};

class EditHistory {
public:
    // Exchanges the images it is given with the live ones; when it throws, nothing has changed.
    using ImageSwap = std::function<void(std::unique_ptr<HeldImages>&)>;

    explicit EditHistory(uint64_t byteLimit = kHistoryByteLimit) : byteLimit_(byteLimit) {}

    // An edit starts (at its press): the part of `e` it may change is kept. A step still open
    // is committed first.
    void Begin(EditKind kind, const MeshEditState& e);
    // The edit is done: the open step is recorded, unless nothing it covers changed. A scene's
    // opening always counts; `replaced` holds the images it replaced. Recording drops the
    // steps that could be redone.
    void Commit(const MeshEditState& e, std::unique_ptr<HeldImages> replaced = nullptr);
    // The open step is forgotten: its edit changed nothing.
    void Cancel() { open_.reset(); }
    bool IsOpen() const { return open_.has_value(); }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Puts back the state before the last edit (an open step is committed first); the kind of
    // the step undone, or none when there was nothing to undo.
    std::optional<EditKind> Undo(MeshEditState& e, const ImageSwap& swapImages);
    // Puts back the state after the edit last undone (an open step is committed first, which
    // drops it when the open edit changed anything).
    std::optional<EditKind> Redo(MeshEditState& e, const ImageSwap& swapImages);
    void Clear();

    // Where the state stands in the history: the same number whenever undo and redo bring back
    // the same recorded state, and a number never seen before after any new edit, or after a
    // clearing (the state then follows from no recorded one).
    uint64_t Position() const { return position_; }

    uint64_t Bytes() const { return bytes_; }
    size_t UndoSteps() const { return undo_.size(); }
    size_t RedoSteps() const { return redo_.size(); }

private:
    using Step = EditStep;
    struct OpenStep {
        Step step;
        bool failed;  // the state at the press could not be kept
    };

    static uint64_t StepBytes(const Step& s);
    static bool Unchanged(const Step& s, const MeshEditState& e);
    void Push(Step&& step);
    void Exchange(Step& s, MeshEditState& e, const ImageSwap& swapImages);
    std::optional<EditKind> Move(std::deque<Step>& from, std::deque<Step>& to, MeshEditState& e,
                                 const ImageSwap& swapImages);
    void Trim();

    uint64_t byteLimit_;
    uint64_t bytes_ = 0;
    std::deque<Step> undo_;  // the last edit at the back
    std::deque<Step> redo_;  // the edit last undone at the back
    std::optional<OpenStep> open_;
    uint64_t position_ = 0;
    uint64_t base_ = 0;          // the position below the oldest step kept
    uint64_t lastPosition_ = 0;  // the last number given out
};
