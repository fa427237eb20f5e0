// The paint phase timings of the Wine benchmark.
#include "views/paint_clock_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>

namespace {

// The file named by VORLIN_PAINT_TIMINGS, opened once for appending; none when unset.
HANDLE TimingsFile()
{
    static HANDLE file = [] {
        wchar_t path[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"VORLIN_PAINT_TIMINGS", path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return INVALID_HANDLE_VALUE;
        return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    }();
    return file;
}

int64_t Ticks()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

}  // namespace

PaintClock::PaintClock()
{
    if (TimingsFile() != INVALID_HANDLE_VALUE)
        start_ = last_ = Ticks();
}

void PaintClock::Mark(PaintPhase phase)
{
    if (start_ == 0)
        return;
    int64_t now = Ticks();
    spent_[static_cast<int>(phase)] += now - last_;
    last_ = now;
}

PaintClock::~PaintClock()
{
    if (start_ == 0)
        return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double perMicrosecond = double(frequency.QuadPart) / 1e6;
    char line[256];
    int n = 0;
    for (int64_t ticks : spent_)
        n += std::snprintf(line + n, sizeof line - size_t(n), "%.0f ",
                           double(ticks) / perMicrosecond);
    n += std::snprintf(line + n, sizeof line - size_t(n), "%.0f\n",
                       double(Ticks() - start_) / perMicrosecond);
    DWORD written = 0;
    WriteFile(TimingsFile(), line, DWORD(n), &written, nullptr);
}
