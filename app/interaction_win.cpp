// How an interaction of the panes ends without a release of its own: a command that reads or
// changes the mesh ends it first, and so does a loss of the mouse capture that the window
// did not ask for. Either way the window that runs it ends it through the same steps as its
// button release; a command reaches it with WM_CANCELMODE.
#include "app/editor_state.h"
#include "app/windows_win.h"

// Set while a window of ours lets the capture go itself: the WM_CAPTURECHANGED that the
// release sends is no loss (the other button's release during a stroke lets the capture go
// and the stroke goes on).
static bool gReleasingOwnCapture = false;

void ReleaseOwnCapture(HWND window)
{
    // Only the window's own capture: another window of this thread may have taken it since.
    if (!window || GetCapture() != window)
        return;
    gReleasingOwnCapture = true;
    ReleaseCapture();
    gReleasingOwnCapture = false;
}

// The window whose interaction is under way, or null when none is.
static HWND InteractionWindow(const EditorState& e)
{
    switch (e.interactionMode) {
    case InteractionMode::Stroke:
    case InteractionMode::NodeDrag: return e.resultPane;
    case InteractionMode::Selecting: return e.sourcePane;
    case InteractionMode::SplitterDrag: return e.splitter;
    case InteractionMode::Idle: break;
    }
    return nullptr;
}

void EndPendingInteraction()
{
    EditorState& e = gEditor;
    if (HWND window = InteractionWindow(e))
        SendMessageW(window, WM_CANCELMODE, 0, 0);
    // a right press on no node holds the capture too, with nothing under way
    for (HWND window : {e.sourcePane, e.splitter, e.resultPane})
        ReleaseOwnCapture(window);
}

// The mode is one for all three windows, so a window that lost the capture to a press in
// another one ends nothing of that.
bool IsCaptureLoss(HWND window, HWND gainer)
{
    if (gReleasingOwnCapture || gainer == window)
        return false;  // let go on purpose, or taken again by the same window
    return window && window == InteractionWindow(gEditor);
}
