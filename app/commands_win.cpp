// MainWindow's command layer: every key and menu command of the program.
#include "app/editor_state.h"
#include "app/clipboard_win.h"
#include "app/file_dialogs_win.h"
#include "app/handles_win.h"
#include "app/png_export_win.h"
#include "app/windows_win.h"
#include "mesh/refine.h"

#include <utility>

// On: black becomes fully transparent and everything else is shown at alpha 127.
// Off removes the layered style and leaves the layered attributes as they were.
void SetTranslucency(HWND main, bool on)
{
    LONG style = GetWindowLongW(main, GWL_EXSTYLE);
    if (on) {
        SetWindowLongW(main, GWL_EXSTYLE, style | WS_EX_LAYERED);
        SetLayeredWindowAttributes(main, RGB(0, 0, 0), 127, LWA_COLORKEY | LWA_ALPHA);
    } else {
        SetWindowLongW(main, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    }
}

// Commands that open a dialog of the program; while one is open, they bring it to the front
// instead of opening another over it (the PNG save dialog has no owner, so MainWindow stays
// live behind it).
static bool OpensDialog(Command command)
{
    switch (command) {
    case Command::SaveResult:
    case Command::About:
    case Command::OpenScene:
    case Command::SaveScene:
    case Command::OpenSource:
    case Command::OpenBackdrop:
    case Command::KeysHelp: return true;
    default: return false;
    }
}

void RunCommand(HWND main, Command command)
{
    EditorState& e = gEditor;
    if (OpensDialog(command) && ProgramDialogOpen()) {
        ShowProgramDialog();
        return;
    }
    if (command == Command::Exit) {
        if (MayClose(main))
            DestroyWindow(main);
        return;
    }
    // they see the mesh a stroke or node drag under way leaves when it ends
    if (CommandUsesMesh(command))
        EndPendingInteraction();
    switch (command) {
    case Command::None: break;
    case Command::CopyResult: CopyResult(main); break;
    case Command::ClearMesh:
        BeginEditStep(EditKind::Mesh);
        ClearMesh(e);
        CommitEditStep();
        // the panes are windows of their own, so they are invalidated along with MainWindow
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        break;
    case Command::TranslucencyOff: SetTranslucency(main, false); break;
    case Command::TranslucencyOn: SetTranslucency(main, true); break;
    case Command::ColumnsFamily: e.activeFamily = CurveFamily::Columns; break;
    case Command::CycleLayout:
        e.layoutMode = NextLayoutMode(e.layoutMode);
        RelayoutProportionally();
        break;
    case Command::SaveResult: SaveResultAsPng(e, e.sourcePixels); break;
    case Command::RowsFamily: e.activeFamily = CurveFamily::Rows; break;
    case Command::PasteSource: PasteSource(main); break;
    case Command::RefineMesh: {
        ScopedWaitCursor wait;
        RefineMeshRecorded(e.history, e);  // a mesh too large to refine stays as it was
        RefreshMenuAndTitle();
        Repaint(e.resultPane);
        break;
    }
    case Command::About: AskMessageBox(main, kAboutText, kAboutCaption, MB_OK); break;
    case Command::Exit: break;  // above
    case Command::Undo: UndoEdit(); break;
    case Command::Redo: RedoEdit(); break;
    case Command::OpenScene: OpenSceneWithDialog(main); break;
    case Command::SaveScene: SaveSceneWithDialog(main); break;
    case Command::OpenSource: OpenImageWithDialog(main, PaneImage::Source); break;
    case Command::OpenBackdrop: OpenImageWithDialog(main, PaneImage::Backdrop); break;
    case Command::KeysHelp: ShowKeysHelp(main); break;
    }
    // the title (a pasted source is unsaved work) and the radio items of family and
    // translucency
    RefreshMenuAndTitle();
}

void OnMainKeyDown(HWND main, WPARAM virtualKey)
{
    RunCommand(main, CommandForKey(static_cast<uint32_t>(virtualKey)));
}

bool OnMainCommand(HWND main, WORD id)
{
    Command command = CommandForMenuId(id);
    if (command == Command::None)
        return false;
    RunCommand(main, command);
    return true;
}
