// What the in-process test programs share: checks that print and count, the start that
// makes the program's window, the message pump, mouse strokes, dropped-file blocks, and the
// ending that closes the program's window and reports.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/windows_win.h"

inline int gFailed = 0;

inline void Expect(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    gFailed += !ok;
}

// Unbuffered output, GDI+ and MainWindow made as the program makes them, not yet shown;
// null (reported) when the window cannot be made.
inline HWND StartInProcess()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    HWND main = CreateMainWindow(GetModuleHandleW(nullptr));
    Expect(main != nullptr, "MainWindow is created in-process");
    return main;
}

inline void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline LPARAM At(int x, int y) { return MAKELPARAM(WORD(int16_t(x)), WORD(int16_t(y))); }

// A left-button stroke from (x0, y0) through the middle to (x1, y1), through SendMessageW as
// the system delivers them, so the registered procedure runs.
inline void Stroke(HWND pane, int x0, int y0, int x1, int y1)
{
    SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, At(x0, y0));
    SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, At((x0 + x1) / 2, (y0 + y1) / 2));
    SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, At(x1, y1));
    SendMessageW(pane, WM_LBUTTONUP, 0, At(x1, y1));
}

// A shell-style drop: one moveable global block, DROPFILES then the wide names, each
// ended by a zero, and one more zero. The handler's DragFinish frees it.
inline HDROP MakeDrop(const std::vector<std::wstring>& names, POINT at)
{
    size_t chars = 1;
    for (const std::wstring& n : names)
        chars += n.size() + 1;
    HGLOBAL block =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->pt = at;
    header->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& n : names) {
        std::memcpy(out, n.c_str(), (n.size() + 1) * sizeof(wchar_t));
        out += n.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

// Destroys MainWindow, lets its last messages through and gives the exit status.
inline int CloseAndReport(HWND main)
{
    Pump();
    DestroyWindow(main);
    Pump();
    std::printf("%s: %d failed\n", gFailed ? "FAILED" : "passed", gFailed);
    return gFailed ? 1 : 0;
}
