// MainWindow's command layer: every key and menu command of the program.
#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"
#include "mesh/refine.h"
#include "warp/exchange_win.h"

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

// A clipboard bitmap becomes SourceImage; with no bitmap on the clipboard nothing changes.
static void PasteSource(HWND main)
{
    EditorState& e = gEditor;
    ScopedWaitCursor wait;
    ClipboardPaste paste = PasteBitmapFromClipboard(main);
    if (!paste.found)
        return;
    ReplacePaneImage(PaneImage::Source, std::move(paste.image), std::move(paste.pixels));
    Repaint(e.sourcePane);
    Repaint(e.resultPane);
}

void RunCommand(HWND main, Command command)
{
    EditorState& e = gEditor;
    switch (command) {
    case Command::None: break;
    case Command::CopyResult: {
        ScopedWaitCursor wait;
        CopyResultToClipboard(main, e, e.sourcePixels);
        break;
    }
    case Command::ClearMesh:
        ClearMesh(e);
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
        RefineMesh(e);  // a mesh too large to refine stays as it was
        Repaint(e.resultPane);
        break;
    }
    case Command::About: MessageBoxW(main, kAboutText, kAboutCaption, MB_OK); break;
    case Command::Exit: DestroyWindow(main); break;
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
