// The program's windows: class registration, MainWindow's creation, the window
// procedures, the pane layout, the interactions and the command layer, reachable for
// in-process tests.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>  // HDROP; after <windows.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/editor_state.h"

inline constexpr wchar_t kSourcePaneClass[] = L"vorlin_L";
inline constexpr wchar_t kSplitterClass[] = L"vorlin_S";
inline constexpr wchar_t kResultPaneClass[] = L"vorlin_R";

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SourcePaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ResultPaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// What the classes are registered with: the procedure with an allocation failure stopped
// at its edge. A message whose work runs out of memory ends there, returning 0, with that
// work left out as any failed allocation leaves its output out; unwound on through the
// system's frames it would end the program.
template <WNDPROC Proc>
LRESULT CALLBACK GuardedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    try {
        return Proc(hwnd, msg, wParam, lParam);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {}
    return 0;
}

// Loads the title and class name (strings 103 and 109) and registers the four classes.
void RegisterWindowClasses(HINSTANCE instance);
// Everything of start-up after GDI+ is running and before MainWindow is shown: classes,
// the composition library, MainWindow with its three children, blur and glass frame.
// Null when MainWindow cannot be created. GDI+ must have been started by the caller.
HWND CreateMainWindow(HINSTANCE instance);
// The whole program: GDI+, CreateMainWindow, show, the message loop; the quit code.
int RunProgram(HINSTANCE instance, int showCommand);

// What a picture pane's procedure tells the handler that both panes share.
struct PicturePane {
    PaneImage image;                    // what a dropped image file replaces
    HWND EditorState::*handle;          // where WM_CREATE records the window
    float EditorState::*zoom;           // what the wheel zooms
    void (*paint)(HWND pane, HDC dc);   // the whole client area through dc
    void (*endInteraction)(HWND pane);  // as its release would, at the last position
};
// The messages SourcePane and ResultPane treat alike: creation, destruction, painting,
// erasing, keys, the wheel, the loss of the capture and dropped files. False for any other
// message, which the pane's procedure handles itself.
// Files for a picture pane, from a drop or the open dialog: each image file is decoded in
// turn and the last that decodes becomes the pane's image (none: the image stays); files
// whose names end in .json open as scenes. Not an edit; the pane repaints.
void OpenPaneFiles(HWND pane, PaneImage which, std::vector<std::wstring> names);
// The system's open dialog, owned by MainWindow, for the image of a picture pane.
void OpenImageWithDialog(HWND main, PaneImage which);
bool HandlePicturePaneMessage(const PicturePane& pane, HWND hwnd, UINT msg, WPARAM wParam,
                              LPARAM lParam, LRESULT& result);

void LayoutPanes(int32_t splitX, int32_t splitY);
void RelayoutProportionally();

// Ends whatever interaction is under way (a stroke, a node drag, a rubber band, a Splitter
// drag) as its release would, at the last position it saw, lets the mouse capture go and
// repaints what that release repaints. Every command that reads or changes the mesh calls it
// first; nothing happens when no interaction is under way. The window that runs the
// interaction is sent WM_CANCELMODE and ends its own, as on any loss of the capture.
void EndPendingInteraction();
// Whether a loss of the capture (WM_CAPTURECHANGED naming `gainer`, or WM_CANCELMODE with
// none) ends the interaction that `window` runs: not when the window let the capture go
// itself or took it again, and not when the interaction under way is another window's.
bool IsCaptureLoss(HWND window, HWND gainer);
// ReleaseCapture for `window`, when it holds the capture, without counting as a loss.
void ReleaseOwnCapture(HWND window);

// MainWindow's command layer: the key table and the menu table.
void OnMainKeyDown(HWND main, WPARAM virtualKey);
// false for an id the menu does not know (the message then gets the default handling).
bool OnMainCommand(HWND main, WORD id);
void RunCommand(HWND main, Command command);
void SetTranslucency(HWND main, bool on);
// The keys and mouse help, a dialog owned by MainWindow, built from the command table; it
// closes with Esc, Enter or its button.
void ShowKeysHelp(HWND main);

// The edit history as the window layer keeps it: a step begins at an edit's press and is
// committed by the handler that ends the edit (a button's release, a rubber band's end), so
// whatever ends an interaction through those handlers records its step too.
void BeginEditStep(EditKind kind);
void CommitEditStep();
// The step begun changed nothing (a right press that picked no node).
void CancelEditStep();
void UndoEdit();
void RedoEdit();
// Greys the menu's undo and redo items while there is nothing to undo or redo, checks the
// radio items of the family and the translucency, and writes the title with its unsaved mark.
// Called after anything that changes what they show.
void RefreshMenuAndTitle();
// An undoable edit, or a new source or backdrop, since the last scene opened or saved.
bool HasUnsavedWork();
// The state is now what the scene file at `scenePath` holds, which names the title.
void MarkSaved(const std::wstring& scenePath);
// After a step changed the state: the panes that show what it changed, and in Single layout
// the relayout a rubber band's end makes, since the rectangle decides which pane shows.
void ShowStep(EditKind kind);

// Scenes in and out through the dialogs owned by MainWindow. A scene that cannot be read is
// refused with a message box in vorlin-render's words and changes nothing.
void OpenSceneWithDialog(HWND main);
// True when the scene was written.
bool SaveSceneWithDialog(HWND main);
// Whether MainWindow may close now (the menu's exit, the close box, Alt+F4, WM_CLOSE, the end
// of the session). While a dialog of the program is open, no: that dialog comes to the front
// and keeps its work. With unsaved work the user is asked: Yes saves the scene, and only a
// scene written lets the window close; No closes; Cancel keeps it.
bool MayClose(HWND main);
// Dropped files whose names end in .json are scenes; the last of them that reads is opened.
bool IsSceneFileName(const std::wstring& name);
void OpenDroppedScenes(const std::vector<std::wstring>& paths);
