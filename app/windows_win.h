// The program's windows: class registration, MainWindow's creation, the four window
// procedures, the pane layout and the command layer, reachable for in-process tests.
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

// Input both picture panes handle alike: every dropped file decoded in turn, the last one
// that decodes becoming the pane's image (`which`), and the wheel zooming the pane.
void OnPaneDropFiles(HWND pane, HDROP drop, PaneImage which);
void OnPaneMouseWheel(HWND pane, float& zoom, WPARAM wParam);

void LayoutPanes(int32_t splitX, int32_t splitY);
void RelayoutProportionally();

// Ends whatever interaction is under way (a stroke, a node drag, a rubber band, a Splitter
// drag) as its release would, at the last position it saw, lets the mouse capture go and
// repaints what that release repaints. Every command that reads or changes the mesh calls it
// first; nothing happens when no interaction is under way.
void EndPendingInteraction();
// A loss of the capture that `window` did not ask for (WM_CAPTURECHANGED naming `gainer`, or
// WM_CANCELMODE with none) ends the interaction that window runs, as EndPendingInteraction does.
void OnCaptureLost(HWND window, HWND gainer);
// ReleaseCapture for `window`, when it holds the capture, without counting as a loss.
void ReleaseOwnCapture(HWND window);
// The ends of each window's interaction without its own release, through the same steps as
// the release: ResultPane's stroke or node drag, SourcePane's rubber band, the Splitter's drag.
void EndResultPaneEdit(HWND pane);
void EndSourcePaneRubberBand(HWND pane);
void EndSplitterDrag(HWND splitter);

// MainWindow's command layer: the key table and the menu table.
void OnMainKeyDown(HWND main, WPARAM virtualKey);
// false for an id the menu does not know (the message then gets the default handling).
bool OnMainCommand(HWND main, WORD id);
void RunCommand(HWND main, Command command);
// The clipboard's requests to MainWindow, the owner of a copy: make the promised "PNG" now,
// make it before the window goes, and let the copy's pixels go.
void OnMainRenderFormat(UINT format);
void OnMainRenderAllFormats(HWND main);
void OnMainDestroyClipboard();
void SetTranslucency(HWND main, bool on);

// The edit history as the window layer keeps it: a step begins at an edit's press and is
// committed by the handler that ends the edit (a button's release, a rubber band's end), so
// whatever ends an interaction through those handlers records its step too.
void BeginEditStep(EditKind kind);
void CommitEditStep();
// The step begun changed nothing (a right press that picked no node).
void CancelEditStep();
void UndoEdit();
void RedoEdit();
// Greys the menu's undo and redo items while there is nothing to undo or redo.
void RefreshEditMenu();

// Scenes in and out through the dialogs owned by MainWindow. A scene that cannot be read is
// refused with a message box in vorlin-render's words and changes nothing.
void OpenSceneWithDialog(HWND main);
void SaveSceneWithDialog(HWND main);
// Dropped files whose names end in .json are scenes; the last of them that reads is opened.
bool IsSceneFileName(const std::wstring& name);
void OpenDroppedScenes(const std::vector<std::wstring>& paths);
