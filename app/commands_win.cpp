// MainWindow's command layer: every key and menu command of the program.
#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"
#include "mesh/refine.h"
#include "warp/exchange_win.h"
#include "warp/wait_cursor_win.h"

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

// A clipboard bitmap (or else "PNG") becomes SourceImage; with none on the clipboard, or
// one that does not convert, nothing changes.
static void PasteSource(HWND main)
{
    EditorState& e = gEditor;
    ScopedWaitCursor wait;
    PastedImage pasted = PasteImageFromClipboard(main);
    if (!pasted.image ||
        !ReplacePaneImage(PaneImage::Source, std::move(pasted.image), std::move(pasted.pixels)))
        return;
    Repaint(e.sourcePane);
    Repaint(e.resultPane);
}

// The copy's pixels are kept while the clipboard promises them as "PNG"; a copy that
// promised nothing leaves the last promise standing.
static void CopyResult(HWND main)
{
    EditorState& e = gEditor;
    PixelImage promised = CopyResultToClipboard(main, e, e.sourcePixels);
    if (!promised.pixels.empty())
        e.clipboardPixels = std::move(promised);
}

void OnMainRenderFormat(UINT format)
{
    if (format == PngClipboardFormat())
        PutPngOnClipboard(gEditor.clipboardPixels);
}

// Before MainWindow goes, every promise is kept, if the clipboard is still ours.
void OnMainRenderAllFormats(HWND main)
{
    if (!OpenClipboard(main))
        return;
    if (GetClipboardOwner() == main)
        PutPngOnClipboard(gEditor.clipboardPixels);
    CloseClipboard();
}

void OnMainDestroyClipboard() { gEditor.clipboardPixels = PixelImage{}; }

void RunCommand(HWND main, Command command)
{
    EditorState& e = gEditor;
    // they see the mesh a stroke or node drag under way leaves when it ends
    if (CommandUsesMesh(command))
        EndPendingInteraction();
    switch (command) {
    case Command::None: break;
    case Command::CopyResult: {
        ScopedWaitCursor wait;
        CopyResult(main);
        break;
    }
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
        RefreshEditMenu();
        Repaint(e.resultPane);
        break;
    }
    case Command::About: MessageBoxW(main, kAboutText, kAboutCaption, MB_OK); break;
    case Command::Exit: DestroyWindow(main); break;
    case Command::Undo: UndoEdit(); break;
    case Command::Redo: RedoEdit(); break;
    case Command::OpenScene: OpenSceneWithDialog(main); break;
    case Command::SaveScene: SaveSceneWithDialog(main); break;
    }
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
