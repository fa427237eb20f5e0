// The edit history as the window layer keeps it: steps begun and committed around the
// panes' edits, undo and redo with the images a scene's opening replaced, the menu's undo
// and redo items, the unsaved mark and the title, and the repaints after a step.
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
    live->sourceSerial = e.sourceSerial;
    live->backdropSerial = e.backdropSerial;
    e.sourceImage = std::move(kept.source);
    e.sourcePixels = std::move(kept.sourcePixels);
    e.backdropImage = std::move(kept.backdrop);
    e.sourceSerial = kept.sourceSerial;
    e.backdropSerial = kept.backdropSerial;
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
    RefreshMenuAndTitle();
}

void CommitEditStep()
{
    gEditor.history.Commit(gEditor);
    RefreshMenuAndTitle();
}

void CancelEditStep() { gEditor.history.Cancel(); }

void UndoEdit()
{
    if (std::optional<EditKind> kind = gEditor.history.Undo(gEditor, ExchangeImages))
        ShowStep(*kind);
    RefreshMenuAndTitle();
}

void RedoEdit()
{
    if (std::optional<EditKind> kind = gEditor.history.Redo(gEditor, ExchangeImages))
        ShowStep(*kind);
    RefreshMenuAndTitle();
}

static SavedMark CurrentMark()
{
    const EditorState& e = gEditor;
    return SavedMark{e.history.Position(), e.sourceSerial, e.backdropSerial};
}

bool HasUnsavedWork() { return !(CurrentMark() == gEditor.saved); }

void MarkSaved(const std::wstring& scenePath)
{
    std::wstring path = scenePath;  // the one step that can fail, before anything changes
    gEditor.saved = CurrentMark();
    gEditor.scenePath.swap(path);
    RefreshMenuAndTitle();
}

// The title is set only when it changes: every edit comes through here.
void RefreshMenuAndTitle()
{
    EditorState& e = gEditor;
    if (!e.mainWindow)
        return;
    const std::wstring title = MainWindowTitle(e.scenePath, HasUnsavedWork());
    wchar_t shown[512] = L"";
    GetWindowTextW(e.mainWindow, shown, 512);
    if (title != shown)
        SetWindowTextW(e.mainWindow, title.c_str());
    HMENU menu = GetMenu(e.mainWindow);
    if (!menu)
        return;
    const EditHistory& h = e.history;
    EnableMenuItem(menu, VORLIN_CMD_UNDO, MF_BYCOMMAND | (h.CanUndo() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, VORLIN_CMD_REDO, MF_BYCOMMAND | (h.CanRedo() ? MF_ENABLED : MF_GRAYED));
    CheckMenuRadioItem(menu, VORLIN_CMD_COLUMNS, VORLIN_CMD_ROWS,
                       e.activeFamily == CurveFamily::Rows ? VORLIN_CMD_ROWS : VORLIN_CMD_COLUMNS,
                       MF_BYCOMMAND);
    const bool layered = (GetWindowLongW(e.mainWindow, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    CheckMenuRadioItem(menu, VORLIN_CMD_TRANSLUCENT, VORLIN_CMD_OPAQUE,
                       layered ? VORLIN_CMD_TRANSLUCENT : VORLIN_CMD_OPAQUE, MF_BYCOMMAND);
}
