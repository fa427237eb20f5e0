// What the in-process test programs share: checks that print and count, the message pump,
// and the ending that closes the program's window and reports.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>

inline int gFailed = 0;

inline void Expect(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    gFailed += !ok;
}

inline void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
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
