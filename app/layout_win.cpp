// Moving the three children of MainWindow.
#include "app/editor_state.h"
#include "app/handles_win.h"
#include "app/windows_win.h"

static PaneSize ClientSize(HWND hwnd)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return {rc.right, rc.bottom};
}

static void Place(HWND hwnd, const PaneRect& r)
{
    MoveWindow(hwnd, r.x, r.y, r.width, r.height, TRUE);
}

void LayoutPanes(int32_t splitX, int32_t splitY)
{
    EditorState& e = gEditor;
    PaneSize main = ClientSize(e.mainWindow);
    PaneLayout layout = ComputePaneLayout(e.layoutMode, main.width, main.height, splitX, splitY,
                                          e.sourceSelection.width);
    Place(e.sourcePane, layout.source);
    Place(e.splitter, layout.splitter);
    Place(e.resultPane, layout.result);
}

void RelayoutProportionally()
{
    EditorState& e = gEditor;
    std::optional<Point> split =
        ProportionalSplit(ClientSize(e.sourcePane), ClientSize(e.resultPane),
                          ClientSize(e.mainWindow), IsIconic(e.mainWindow) != FALSE);
    if (split)
        LayoutPanes(split->x, split->y);
}
