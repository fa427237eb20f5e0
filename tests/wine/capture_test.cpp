// Losing the mouse capture, in-process: another window of the program's thread takes it in the
// middle of a stroke, a node drag, a rubber band or a Splitter drag, as a window of another
// program (Alt+Tab) or a menu would, and that ends the interaction as its release at the last
// position would; later moves and releases change nothing. The pane's own release of the
// capture (the other button's release during a stroke) is no loss, and neither is a press
// that takes the capture again. A command that edits the mesh ends what is under way too.
//   vorlin_capture_test.exe
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>

#include "app/editor_state.h"
#include "app/windows_win.h"
#include "inprocess.h"
#include "mesh/node_grid.h"

namespace {

// A plain window of this thread that takes the capture from the program's windows.
HWND MakeThief()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"vorlin_capture_thief";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

bool MeshIsWhole(const EditorState& e)
{
    return GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size());
}

size_t PointCount(const CurveSet& set)
{
    size_t n = 0;
    for (const Curve& c : set)
        n += c.size();
    return n;
}

bool NodeAt(const EditorState& e, size_t row, size_t column, int x, int y)
{
    return row < e.nodeGrid.size() && column < e.nodeGrid[row].size() &&
           e.nodeGrid[row][column].x == x && e.nodeGrid[row][column].y == y;
}

// Whether some node of the row is at (x, y), whatever the column order.
bool RowHasNode(const EditorState& e, size_t row, int x, int y)
{
    for (size_t c = 0; row < e.nodeGrid.size() && c < e.nodeGrid[row].size(); ++c)
        if (NodeAt(e, row, c, x, y))
            return true;
    return false;
}

int SplitterTop(const EditorState& e)
{
    RECT r{};
    GetWindowRect(e.splitter, &r);
    MapWindowPoints(nullptr, e.mainWindow, reinterpret_cast<POINT*>(&r), 2);
    return r.top;
}

}  // namespace

int wmain()
{
    HWND main = StartInProcess();
    if (!main)
        return 1;
    SetWindowPos(main, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    EditorState& e = gEditor;
    const HWND result = e.resultPane;
    const HWND thief = MakeThief();
    Expect(thief != nullptr, "a window of the same thread to take the capture");

    // Columns at x = 20 and 200, rows at y = 20 and 190: nodes (20, 20), (200, 20),
    // (20, 190), (200, 190). The curves start at x or y 0, so that no label spot (8 pixels
    // right of and below a first point) lies in reach of the nodes pressed below.
    e.sourceSelection = SelectionRect{0, 0, 10, 10};
    Stroke(result, 20, 0, 20, 200);
    Stroke(result, 200, 0, 200, 200);
    SendMessageW(main, WM_KEYDOWN, 'T', 1);
    Stroke(result, 0, 20, 210, 20);
    Expect(e.rowCurves.size() == 1 && e.columnCurves.size() == 2, "two columns and a row drawn");

    // A stroke whose capture is taken ends as its release would: the grid counts it.
    SendMessageW(result, WM_LBUTTONDOWN, MK_LBUTTON, At(0, 190));
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(105, 190));
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(210, 190));
    Expect(GetCapture() == result && e.interactionMode == InteractionMode::Stroke,
           "a stroke holds the capture");
    SetCapture(thief);
    Expect(e.interactionMode == InteractionMode::Idle && e.rowCurves.size() == 2 && MeshIsWhole(e),
           "stroke: the lost capture ends it, and the grid has its row");
    Expect(NodeAt(e, 1, 0, 20, 190) && NodeAt(e, 1, 1, 200, 190),
           "stroke: the ended row crosses both columns");
    Expect(GetCapture() == thief, "stroke: the window that took the capture keeps it");
    const size_t points = PointCount(e.rowCurves) + PointCount(e.columnCurves);
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(300, 300));
    SendMessageW(result, WM_LBUTTONUP, 0, At(300, 300));
    Expect(PointCount(e.rowCurves) + PointCount(e.columnCurves) == points &&
               e.rowCurves.size() == 2,
           "stroke: moves and the release after the loss add nothing");
    ReleaseCapture();

    // A second press of the left button takes the capture again and is no loss; the other
    // button's release lets the capture go and the stroke goes on.
    SendMessageW(main, WM_KEYDOWN, 'H', 1);
    SendMessageW(result, WM_LBUTTONDOWN, MK_LBUTTON, At(110, 5));
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(111, 80));
    SendMessageW(result, WM_LBUTTONDOWN, MK_LBUTTON, At(111, 80));
    Expect(GetCapture() == result && e.interactionMode == InteractionMode::Stroke,
           "a press mid-stroke takes the capture again, the stroke goes on");
    SendMessageW(result, WM_RBUTTONUP, MK_LBUTTON, At(111, 80));
    Expect(GetCapture() == nullptr && e.interactionMode == InteractionMode::Stroke,
           "the right button's release mid-stroke lets the capture go, the stroke goes on");
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(112, 205));
    Expect(e.columnCurves.back().size() == 3, "the stroke still takes points");
    SendMessageW(result, WM_LBUTTONUP, 0, At(112, 205));
    Expect(e.interactionMode == InteractionMode::Idle && e.columnCurves.size() == 3 &&
               MeshIsWhole(e) && GetCapture() == nullptr,
           "its own release ends it");

    // A node drag ends where its last move was.
    SendMessageW(result, WM_RBUTTONDOWN, MK_RBUTTON, At(21, 21));
    SendMessageW(result, WM_MOUSEMOVE, MK_RBUTTON, At(40, 35));
    SendMessageW(result, WM_MOUSEMOVE, MK_RBUTTON, At(45, 38));
    Expect(e.interactionMode == InteractionMode::NodeDrag && GetCapture() == result,
           "a right press near node (20, 20) drags it");
    SetCapture(thief);
    Expect(e.interactionMode == InteractionMode::Idle && NodeAt(e, 0, 0, 45, 38),
           "node drag: the lost capture moves the node to the last move, (45, 38)");
    SendMessageW(result, WM_MOUSEMOVE, MK_RBUTTON, At(90, 90));
    SendMessageW(result, WM_RBUTTONUP, 0, At(90, 90));
    Expect(NodeAt(e, 0, 0, 45, 38), "node drag: the release after the loss moves nothing");
    ReleaseCapture();

    // Without a move, at the press; WM_CANCELMODE counts as a loss too.
    SendMessageW(result, WM_RBUTTONDOWN, MK_RBUTTON, At(197, 188));
    Expect(e.interactionMode == InteractionMode::NodeDrag, "a right press near (200, 190)");
    SendMessageW(result, WM_CANCELMODE, 0, 0);
    Expect(e.interactionMode == InteractionMode::Idle && RowHasNode(e, 1, 197, 188) &&
               !RowHasNode(e, 1, 200, 190) && GetCapture() == nullptr,
           "node drag: WM_CANCELMODE moves the node to the press, (197, 188), and lets go");

    // A rubber band keeps the size of its last move; one without a move marks its press.
    const HWND source = e.sourcePane;
    SendMessageW(source, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    SendMessageW(source, WM_MOUSEMOVE, MK_LBUTTON, At(60, 40));
    SetCapture(thief);
    Expect(e.interactionMode == InteractionMode::Idle &&
               e.sourceSelection == SelectionRect({10, 10, 50, 30}),
           "rubber band: the lost capture ends it at the last move");
    SendMessageW(source, WM_MOUSEMOVE, MK_LBUTTON, At(200, 200));
    Expect(e.sourceSelection == SelectionRect({10, 10, 50, 30}),
           "rubber band: a move after the loss changes nothing");
    ReleaseCapture();
    SendMessageW(source, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 90));
    SetCapture(thief);
    Expect(e.sourceSelection == SelectionRect({100, 90, 0, 0}),
           "rubber band: lost before any move, it marks its press, not the old size");
    ReleaseCapture();

    // A Splitter drag stays where its last move put the bar.
    const int top = SplitterTop(e);
    SendMessageW(e.splitter, WM_LBUTTONDOWN, MK_LBUTTON, At(50, 2));
    SendMessageW(e.splitter, WM_MOUSEMOVE, MK_LBUTTON, At(50, 42));
    Expect(SplitterTop(e) == top + 40, "the bar follows the drag 40 pixels down");
    SetCapture(thief);
    Expect(e.interactionMode == InteractionMode::Idle && SplitterTop(e) == top + 40,
           "Splitter: the lost capture ends the drag where the bar is");
    SendMessageW(e.splitter, WM_MOUSEMOVE, MK_LBUTTON, At(50, 90));
    Expect(SplitterTop(e) == top + 40, "Splitter: a move after the loss moves nothing");
    ReleaseCapture();

    // A command that edits the mesh ends a stroke first and lets the capture go.
    SendMessageW(result, WM_LBUTTONDOWN, MK_LBUTTON, At(150, 5));
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(152, 205));
    SendMessageW(main, WM_KEYDOWN, 'W', 1);
    Expect(e.interactionMode == InteractionMode::Idle && GetCapture() == nullptr,
           "key W mid-stroke ends the stroke and lets the capture go");
    Expect(e.columnCurves.size() == 7 && e.rowCurves.size() == 3 && MeshIsWhole(e),
           "key W refines the mesh with the ended stroke in it (4 x 2 curves to 7 x 3)");
    DestroyWindow(thief);
    return CloseAndReport(main);
}
