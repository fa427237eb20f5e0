// Scope guards for what the window layer takes and must give back on every path: device
// contexts, the paint, the wait cursor and the clipboard.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~ScopedGetDC()
    {
        if (dc_)
            ReleaseDC(hwnd_, dc_);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint and EndPaint around a paint handler, so that the update region is validated
// on every path out of it; a region left invalid would bring the paint message back at
// once, for ever.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
    ~ScopedPaint() { EndPaint(hwnd_, &ps_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Invalidates the whole client area without erasing.
inline void Repaint(HWND hwnd)
{
    if (hwnd)  // a null window would mean every top-level window
        InvalidateRect(hwnd, nullptr, FALSE);
}

// The wait cursor while a command that can take seconds runs, the cursor before it again
// afterwards. No message is handled in between, so nothing sets another cursor.
class ScopedWaitCursor {
public:
    ScopedWaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~ScopedWaitCursor() { SetCursor(previous_); }
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// The clipboard open for the lifetime of the guard; a failed open is not examined, so the
// clipboard calls in between simply fail. Closed only when it was opened here.
class ScopedClipboard {
public:
    explicit ScopedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~ScopedClipboard()
    {
        if (open_)
            CloseClipboard();
    }
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};
