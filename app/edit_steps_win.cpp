// The edit history as the window layer keeps it: steps begun and committed around the
// panes' edits, undo and redo with the images a scene's opening replaced, the menu's undo
// and redo items, and the repaints after a step.
#include "app/edit_steps_win.h"

#include <memory>
#include <optional>
#include <utility>

#include "app/handles_win.h"
#include "app/windows_win.h"

// The holder for the editor's images is made first, so that running out of memory changes
// nothing.
void ExchangeImages(std::unique_ptr<HeldImages>& held)
{
    auto live = std::make_unique<PaneImages>();
    if (!held)
        held = std::make_unique<PaneImages>();
    auto& kept = static_cast<PaneImages&>(*held);
    EditorState& e = gEditor;
    live->source = std::move(e.sourceImage);
    live->sourcePixels = std::move(e.sourcePixels);
    live->backdrop = std::move(e.backdropImage);
    e.sourceImage = std::move(kept.source);
    e.sourcePixels = std::move(kept.sourcePixels);
    e.backdropImage = std::move(kept.backdrop);
    held = std::move(live);
}

void ShowStep(EditKind kind)
{
    EditorState& e = gEditor;
    if (kind != EditKind::Mesh && e.layoutMode == LayoutMode::Single)
        RelayoutProportionally();
    if (kind != EditKind::Mesh)
        Repaint(e.sourcePane);
    Repaint(e.resultPane);
}

void BeginEditStep(EditKind kind)
{
    gEditor.history.Begin(kind, gEditor);
    RefreshEditMenu();
}

void CommitEditStep()
{
    gEditor.history.Commit(gEditor);
    RefreshEditMenu();
}

void CancelEditStep() { gEditor.history.Cancel(); }

void UndoEdit()
{
    if (std::optional<EditKind> kind = gEditor.history.Undo(gEditor, ExchangeImages))
        ShowStep(*kind);
    RefreshEditMenu();
}

void RedoEdit()
{
    if (std::optional<EditKind> kind = gEditor.history.Redo(gEditor, ExchangeImages))
        ShowStep(*kind);
    RefreshEditMenu();
}

void RefreshEditMenu()
{
    HMENU menu = GetMenu(gEditor.mainWindow);
    if (!menu)
        return;
    const EditHistory& h = gEditor.history;
    EnableMenuItem(menu, VORLIN_CMD_UNDO, MF_BYCOMMAND | (h.CanUndo() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, VORLIN_CMD_REDO, MF_BYCOMMAND | (h.CanRedo() ? MF_ENABLED : MF_GRAYED));
}
