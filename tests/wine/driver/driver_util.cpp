// The driver's plumbing: paths, waiting with a pumping loop, starting and finding the
// program, messages, screen read-back, clipboard, drops, the save dialog and real input.
#include "driver.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int gFailures = 0;
Context gContext;

static HWND gDriverWindow = nullptr;

void Note(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

bool Check(bool ok, const char* fmt, ...)
{
    if (ok)
        return true;
    ++gFailures;
    std::printf("FAILED: ");
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
    return false;
}

std::wstring Widen(const std::string& s)
{
    if (s.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::string Narrow(const std::wstring& w)
{
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring WinPath(const std::string& unixPath)
{
    std::wstring w = L"Z:" + Widen(unixPath);
    for (wchar_t& c : w)
        if (c == L'/')
            c = L'\\';
    return w;
}

std::string OutPath(const std::string& name) { return gContext.outDir + "/" + name; }
std::string DataPath(const std::string& name) { return gContext.dataDir + "/" + name; }

bool FileExists(const std::string& unixPath)
{
    return GetFileAttributesW(WinPath(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int64_t FileSize(const std::string& unixPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WinPath(unixPath).c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Every wait pumps: the driver owns clipboard data, and the program's EmptyClipboard
// waits for the owner's WM_DESTROYCLIPBOARD.
void Pump(DWORD ms)
{
    double end = NowMs() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        double left = end - NowMs();
        if (left <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left) + 1, QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs)
{
    double end = NowMs() + timeoutMs;
    for (;;) {
        if (pred())
            return true;
        if (NowMs() >= end)
            return pred();
        Pump(15);
    }
}

// ---- the program ---------------------------------------------------------------------------

static DWORD WindowProcessId(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct FindMain {
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK FindMainProc(HWND hwnd, LPARAM lParam)
{
    auto* f = reinterpret_cast<FindMain*>(lParam);
    wchar_t cls[64];
    if (GetClassNameW(hwnd, cls, 64) && wcscmp(cls, L"VORLINC") == 0 &&
        (f->pid == 0 || WindowProcessId(hwnd) == f->pid)) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

static HWND FindMainWindow(DWORD pid)
{
    FindMain f{pid, nullptr};
    EnumWindows(FindMainProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

void KillLeftovers()
{
    for (int round = 0; round < 10; ++round) {
        HWND hwnd = FindMainWindow(0);
        if (!hwnd)
            return;
        DWORD pid = WindowProcessId(hwnd);
        Note("note: ending a leftover program (process %lu)", pid);
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (h) {
            TerminateProcess(h, 99);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
        Pump(100);
    }
}

void ParkPointer()
{
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    Pump(120);
}

App::~App()
{
    if (Running())
        Terminate();
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
}

bool App::Start()
{
    KillLeftovers();
    std::wstring commandLine = L"\"" + gContext.exe + L"\"";
    std::wstring folder = WinPath(gContext.outDir);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    double t0 = NowMs();
    if (!CreateProcessW(gContext.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.c_str(), &startup, &process)) {
        Check(false, "cannot start %s (error %lu)", Narrow(gContext.exe).c_str(), GetLastError());
        return false;
    }
    // The main window is findable inside its WM_CREATE, before the children exist and
    // before it is shown: wait for all of it.
    bool up = WaitFor(
        [&] {
            main = FindMainWindow(process.dwProcessId);
            if (!main || !IsWindowVisible(main))
                return false;
            source = FindWindowExW(main, nullptr, L"vorlin_L", nullptr);
            splitter = FindWindowExW(main, nullptr, L"vorlin_S", nullptr);
            result = FindWindowExW(main, nullptr, L"vorlin_R", nullptr);
            return source && splitter && result;
        },
        20000);
    if (!up) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        Check(false,
              "the program's window and its three children did not come up (main %p, "
              "source %p, splitter %p, result %p, process %s, code %lu)",
              (void*)main, (void*)source, (void*)splitter, (void*)result,
              Running() ? "running" : "ended", code);
        return false;
    }
    WaitForInputIdle(process.hProcess, 5000);
    ParkPointer();
    WaitForInputIdle(process.hProcess, 5000);
    Note("started in %.0f ms", NowMs() - t0);
    return true;
}

bool App::Running() const
{
    return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

bool App::WaitExit(DWORD timeoutMs, DWORD* exitCode)
{
    bool ended = WaitFor([&] { return !Running(); }, timeoutMs);
    if (ended && exitCode)
        GetExitCodeProcess(process.hProcess, exitCode);
    return ended;
}

bool App::CloseAndCheck()
{
    const bool unsaved = TextOf(main).rfind(L"*", 0) == 0;
    // The close box: WM_SYSCOMMAND SC_CLOSE, which the default handling turns into
    // WM_CLOSE and the window's destruction.
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (unsaved)
        AnswerCloseQuestion(*this, IDNO, "closing with unsaved work");
    DWORD code = 12345;
    bool ended = WaitExit(10000, &code);
    Check(ended, "the program did not end within 10 s of the close command");
    if (ended)
        Check(code == 0, "exit code %lu after closing, expected 0", code);
    return ended && code == 0;
}

void App::Terminate()
{
    TerminateProcess(process.hProcess, 98);
    WaitForSingleObject(process.hProcess, 5000);
}

RECT App::ClientRectOf(HWND hwnd) const
{
    RECT r{};
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

POINT App::ClientOrigin(HWND hwnd) const
{
    POINT p{0, 0};
    ClientToScreen(hwnd, &p);
    return p;
}

DWORD gSendTimeoutMs = 5000;

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, gSendTimeoutMs, &result))
        Check(false, "message 0x%x to %p was not answered within %lu ms (error %lu)", msg,
              (void*)hwnd, gSendTimeoutMs, GetLastError());
    return LRESULT(result);
}

LPARAM PackPoint(int x, int y) { return MAKELPARAM(WORD(int16_t(x)), WORD(int16_t(y))); }

void Key(App& app, UINT vk, HWND target) { Send(target ? target : app.main, WM_KEYDOWN, vk, 1); }

void PostKey(App& app, UINT vk) { PostMessageW(app.main, WM_KEYDOWN, vk, 1); }

float gSourceZoom = 1.0f;
float gResultZoom = 1.0f;

// The pane position whose conversion, trunc(float(signed 16-bit position) / zoom), gives
// the wanted pixel; at zoom 1 the pixel itself. Near 1 one of the neighbours does.
int PanePosition(int pixel, float zoom)
{
    if (zoom == 1.0f)
        return pixel;
    const int centre = int(float(pixel) * zoom);
    for (int d = 0; d <= 4; ++d)
        for (int p : {centre - d, centre + d}) {
            if (p < -32768 || p > 32767)
                continue;
            const float q = float(p) / zoom;
            if (q > -2147483648.0f && q < 2147483648.0f && int(q) == pixel)
                return p;
        }
    Check(false, "no pane position gives pixel %d at zoom %.9g", pixel, double(zoom));
    return pixel;
}

static LPARAM ZoomedPoint(POINT p, float zoom)
{
    return PackPoint(PanePosition(p.x, zoom), PanePosition(p.y, zoom));
}

void Stroke(App& app, const std::vector<POINT>& points)
{
    if (points.empty())
        return;
    Send(app.result, WM_LBUTTONDOWN, MK_LBUTTON, ZoomedPoint(points[0], gResultZoom));
    for (size_t i = 1; i < points.size(); ++i)
        Send(app.result, WM_MOUSEMOVE, MK_LBUTTON, ZoomedPoint(points[i], gResultZoom));
    Send(app.result, WM_LBUTTONUP, 0, ZoomedPoint(points.back(), gResultZoom));
}

void RightDrag(App& app, POINT from, POINT to)
{
    Send(app.result, WM_RBUTTONDOWN, MK_RBUTTON, ZoomedPoint(from, gResultZoom));
    Send(app.result, WM_MOUSEMOVE, MK_RBUTTON, ZoomedPoint(to, gResultZoom));
    Send(app.result, WM_RBUTTONUP, 0, ZoomedPoint(to, gResultZoom));
}

void RubberBand(App& app, POINT from, POINT to)
{
    Send(app.source, WM_LBUTTONDOWN, MK_LBUTTON, ZoomedPoint(from, gSourceZoom));
    Send(app.source, WM_MOUSEMOVE, MK_LBUTTON, ZoomedPoint(to, gSourceZoom));
    Send(app.source, WM_LBUTTONUP, 0, ZoomedPoint(to, gSourceZoom));
}

void Wheel(App& app, int delta, int screenX, int screenY)
{
    Send(app.main, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(delta))), PackPoint(screenX, screenY));
}

// ---- screen read-back ---------------------------------------------------------------------

Image CaptureClient(HWND hwnd, bool repaint)
{
    Image image;
    // A forced repaint shows the current state. RedrawWindow's update does not wait for
    // another process's paint; a sent WM_PAINT does.
    if (repaint) {
        InvalidateRect(hwnd, nullptr, FALSE);
        Send(hwnd, WM_PAINT, 0, 0);
    }
    Pump(10);
    RECT r{};
    GetClientRect(hwnd, &r);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    image.width = r.right;
    image.height = r.bottom;
    if (image.width <= 0 || image.height <= 0) {
        image.width = image.height = 0;
        return image;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    // Only the part on the desktop can be read; the rest stays black.
    RECT want{origin.x, origin.y, origin.x + image.width, origin.y + image.height},
        desk{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, part{};
    std::memset(bits, 0, size_t(image.width) * image.height * 4);
    if (IntersectRect(&part, &want, &desk))
        BitBlt(memory, part.left - origin.x, part.top - origin.y, part.right - part.left,
               part.bottom - part.top, screen, part.left, part.top, SRCCOPY);
    GdiFlush();
    image.pixels.resize(size_t(image.width) * image.height);
    const uint32_t* src = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = 0xFF000000u | (src[i] & 0xFFFFFFu);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

void Screenshot(const std::string& name)
{
    if (!HaveRealInput())
        return;
    std::string path = OutPath("screen-" + name + ".png");
    std::string request = "import " + path;
    // The helper runs "import -window root PATH" for an import request.
    RealInput("@" + request);
}

// ---- the program's own paint timings ------------------------------------------------------

const char* const kPaintPhaseNames[kPaintPhases] = {"setup", "clear",    "backdrop", "warp",
                                                    "reuse", "overlays", "final"};

static std::wstring PaintTimingsPath()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"VORLIN_PAINT_TIMINGS", path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

std::vector<PaintLine> ReadPaintLines()
{
    std::vector<PaintLine> lines;
    std::wstring path = PaintTimingsPath();
    FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"rb");
    if (!f)
        return lines;
    PaintLine line;
    while (std::fscanf(f, "%lf %lf %lf %lf %lf %lf %lf %lf", &line.us[0], &line.us[1], &line.us[2],
                       &line.us[3], &line.us[4], &line.us[5], &line.us[6], &line.us[7]) == 8)
        lines.push_back(line);
    std::fclose(f);
    return lines;
}

static int64_t PaintFileSize()
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    std::wstring path = PaintTimingsPath();
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WaitForPaints(size_t count)
{
    double end = NowMs() + 60000;
    int64_t size = -1;
    while (NowMs() < end) {
        int64_t now = PaintFileSize();
        if (now != size) {
            size = now;
            if (ReadPaintLines().size() >= count)
                return true;
        }
        Pump(1);
    }
    return Check(false, "no ResultPane paint within 60 s (is VORLIN_PAINT_TIMINGS set?)");
}

// ---- clipboard --------------------------------------------------------------------------------

static LRESULT CALLBACK DriverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void InitDriverWindow()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DriverWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"vorlin_test_driver";
    RegisterClassW(&wc);
    gDriverWindow = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    wc.hInstance, nullptr);
}

static bool OpenDriverClipboard()
{
    return WaitFor([] { return OpenClipboard(gDriverWindow) != FALSE; }, 3000);
}

bool PutBitmapOnClipboard(const Image& image)
{
    std::vector<uint32_t> bits(image.pixels.size());
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = image.pixels[i] | 0xFF000000u;  // BGRA in memory, as a DDB row wants
    HBITMAP bitmap = CreateBitmap(image.width, image.height, 1, 32, bits.data());
    if (!bitmap)
        return Check(false, "CreateBitmap %dx%d failed", image.width, image.height);
    if (!OpenDriverClipboard()) {
        DeleteObject(bitmap);
        return Check(false, "the driver cannot open the clipboard");
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    CloseClipboard();
    return Check(ok, "SetClipboardData(CF_BITMAP) failed");
}

bool PutDibOnClipboard(const Image& image)
{
    const size_t bytes = 40 + image.pixels.size() * 4;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block)
        return Check(false, "GlobalAlloc of %zu bytes failed", bytes);
    auto* p = static_cast<uint8_t*>(GlobalLock(block));
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = image.width;
    header.biHeight = image.height;  // the bottom row first
    header.biPlanes = 1;
    header.biBitCount = 32;
    std::memcpy(p, &header, 40);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(p + 40 + size_t(image.height - 1 - y) * image.width * 4,
                    &image.pixels[size_t(y) * image.width], size_t(image.width) * 4);
    GlobalUnlock(block);
    if (!OpenDriverClipboard()) {
        GlobalFree(block);
        return Check(false, "the driver cannot open the clipboard");
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_DIB, block) != nullptr;
    if (!ok)
        GlobalFree(block);
    CloseClipboard();
    return Check(ok, "SetClipboardData(CF_DIB) failed");
}

bool PutTextOnClipboard(const wchar_t* text)
{
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(block), text, bytes);
    GlobalUnlock(block);
    if (!OpenDriverClipboard())
        return Check(false, "the driver cannot open the clipboard");
    EmptyClipboard();
    bool ok = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    return Check(ok, "SetClipboardData(CF_UNICODETEXT) failed");
}

DWORD ClipboardSequence() { return GetClipboardSequenceNumber(); }

bool PutPngOnClipboard(const std::string& unixPath)
{
    HANDLE file = CreateFileW(WinPath(unixPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Check(false, "cannot read %s", unixPath.c_str());
    DWORD size = GetFileSize(file, nullptr), got = 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    bool read = block && ReadFile(file, GlobalLock(block), size, &got, nullptr) && got == size;
    if (block)
        GlobalUnlock(block);
    CloseHandle(file);
    if (!read || !OpenDriverClipboard()) {
        if (block)
            GlobalFree(block);
        return Check(false, "cannot put %s on the clipboard", unixPath.c_str());
    }
    EmptyClipboard();
    bool ok = SetClipboardData(PngClipboardFormat(), block) != nullptr;
    CloseClipboard();
    return Check(ok, "SetClipboardData(\"PNG\") failed");
}

UINT PngClipboardFormat() { return RegisterClipboardFormatW(L"PNG"); }

bool ReadClipboardDib(std::vector<uint8_t>& block) { return ReadClipboardData(CF_DIB, block); }

bool ReadClipboardData(UINT format, std::vector<uint8_t>& block)
{
    block.clear();
    if (!OpenDriverClipboard())
        return Check(false, "the driver cannot open the clipboard");
    HANDLE h = GetClipboardData(format);
    bool ok = false;
    if (h) {
        SIZE_T size = GlobalSize(h);
        const void* p = GlobalLock(h);
        if (p && size) {
            block.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
            ok = true;
        }
        GlobalUnlock(h);
    }
    CloseClipboard();
    return ok;
}

bool CopyResult(App& app, std::vector<uint8_t>& block, UINT vk)
{
    DWORD before = ClipboardSequence();
    if (vk == kCopyByMenu)
        PostMessageW(app.main, WM_COMMAND, 32773, 0);
    else
        PostKey(app, vk);
    if (!Check(WaitFor([&] { return ClipboardSequence() != before; }, 10000),
               "key 0x%x did not change the clipboard within 10 s", vk))
        return false;
    // The program empties the clipboard, then sets the block: wait until it is there.
    bool got = WaitFor(
        [&] { return IsClipboardFormatAvailable(CF_DIB) && ReadClipboardDib(block); }, 5000);
    return Check(got, "no CF_DIB on the clipboard after key 0x%x", vk);
}

bool DibToImage(const std::vector<uint8_t>& block, Image& image, std::string& why)
{
    if (block.size() < 44) {
        why = "block shorter than 44 bytes";
        return false;
    }
    BITMAPINFOHEADER h;
    std::memcpy(&h, block.data(), sizeof(h));
    if (h.biSize != 40 || h.biPlanes != 1 || h.biBitCount != 32 || h.biCompression != BI_RGB ||
        h.biWidth <= 0 || h.biHeight <= 0) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "header size %lu planes %u bits %u compression %lu %ldx%ld", h.biSize,
                      h.biPlanes, h.biBitCount, h.biCompression, h.biWidth, h.biHeight);
        why = text;
        return false;
    }
    size_t w = size_t(h.biWidth), ht = size_t(h.biHeight);
    if (block.size() < 44 + w * ht * 4) {
        why = "block shorter than its pixel rows";
        return false;
    }
    image.width = int(w);
    image.height = int(ht);
    image.pixels.resize(w * ht);
    for (size_t row = 0; row < ht; ++row) {
        const uint8_t* src = block.data() + 44 + (ht - 1 - row) * w * 4;  // bottom row first
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = src + x * 4;
            image.pixels[row * w + x] =
                (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
    }
    return true;
}

// ---- drops -------------------------------------------------------------------------------

bool DropFiles(App& app, HWND pane, const std::vector<std::wstring>& files, POINT at)
{
    std::vector<uint8_t> block(sizeof(DROPFILES));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.pt = at;
    header.fNC = FALSE;
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    for (const std::wstring& name : files) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(name.c_str());
        block.insert(block.end(), p, p + (name.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);
    // A handle of the driver means nothing in the program: the block has to live in the
    // program's own memory.
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
                    app.process.dwProcessId);
    if (!process)
        return Check(false, "OpenProcess for the drop failed (%lu)", GetLastError());
    void* remote =
        VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    bool ok = remote && WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
              written == block.size();
    CloseHandle(process);
    if (!Check(ok, "writing the DROPFILES block into the program failed (%lu)", GetLastError()))
        return false;
    return Check(PostMessageW(pane, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) != FALSE,
                 "posting WM_DROPFILES failed");
}

// ---- dialogs ----------------------------------------------------------------------------------

struct FindDialog {
    DWORD pid;
    const wchar_t* title;
    HWND found;
};

static BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lParam)
{
    auto* f = reinterpret_cast<FindDialog*>(lParam);
    wchar_t cls[64];
    if (!IsWindowVisible(hwnd) || WindowProcessId(hwnd) != f->pid ||
        !GetClassNameW(hwnd, cls, 64) || wcscmp(cls, L"#32770") != 0)
        return TRUE;
    if (f->title) {
        wchar_t text[256] = L"";
        GetWindowTextW(hwnd, text, 256);
        if (wcscmp(text, f->title) != 0)
            return TRUE;
    }
    f->found = hwnd;
    return FALSE;
}

HWND FindProgramDialog(App& app, const wchar_t* title)
{
    FindDialog f{app.process.dwProcessId, title, nullptr};
    EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND WaitProgramDialog(App& app, DWORD timeoutMs, const wchar_t* title)
{
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindProgramDialog(app, title)) != nullptr; }, timeoutMs);
    return dialog;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[128] = L"";
    GetClassNameW(hwnd, name, 128);
    return name;
}

std::wstring TextOf(HWND hwnd)
{
    std::wstring text(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return text;
}

std::wstring MessageText(HWND dialog)
{
    std::wstring found;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::wstring cls = ClassOf(c);
        std::wstring text = TextOf(c);
        if (_wcsicmp(cls.c_str(), L"Static") == 0 && text.size() > found.size())
            found = text;
    }
    return found;
}

static HWND SaveDialogNameEdit(HWND dialog)
{
    // Explorer-style template: the name field is an Edit inside the ComboBox inside the
    // ComboBoxEx32 with id 0x47c.
    HWND comboEx = GetDlgItem(dialog, 0x47c);
    HWND combo = comboEx ? FindWindowExW(comboEx, nullptr, L"ComboBox", nullptr) : nullptr;
    HWND edit = combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
    if (!edit)
        edit = GetDlgItem(dialog, 0x480);
    return edit;
}

bool SaveThroughDialog(App& app, const std::wstring& typedName, const std::string& unixPathToWatch)
{
    return FileThroughDialog(app, 'S', typedName, unixPathToWatch);
}

bool FileThroughDialog(App& app, UINT key, const std::wstring& typedName,
                       const std::string& unixPathToWatch)
{
    char what[16];
    std::snprintf(what, sizeof what, "key %c", char(key));
    return FileThroughDialogOf(
        app, what, [&] { PostKey(app, key); }, typedName, unixPathToWatch);
}

bool gSourceByDialog = false;

std::vector<std::wstring> DialogFilterNames(HWND dialog)
{
    std::vector<std::wstring> names;
    HWND types = GetDlgItem(dialog, 0x470);  // cmb1, the file types
    const int count = types ? int(Send(types, CB_GETCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t name[256] = L"";
        if (Send(types, CB_GETLBTEXTLEN, WPARAM(i), 0) < 255)
            Send(types, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(name));
        names.push_back(name);
    }
    return names;
}

// Checked once the dialog is up: its owner, and its file types in order, the first entry
// gathering the five picture types, all files last.
static void CheckImageDialog(App& app, const char* what)
{
    HWND dialog = WaitProgramDialog(app, 10000);
    if (!dialog)
        return;  // reported by the caller
    CHECK(GetWindow(dialog, GW_OWNER) == app.main, "%s: the open dialog is not MainWindow's", what);
    const std::vector<std::wstring> names = DialogFilterNames(dialog);
    const wchar_t* types[] = {L"PNG", L"JPEG", L"BMP", L"GIF", L"TIFF"};
    bool inOrder = names.size() == 7 && names[6].find(L"*.*") != std::wstring::npos;
    for (size_t k = 0; inOrder && k < 5; ++k)
        inOrder = names[0].find(types[k]) != std::wstring::npos &&
                  names[k + 1].find(types[k]) != std::wstring::npos;
    std::wstring all;
    for (const std::wstring& n : names)
        all += n + L" | ";
    CHECK(inOrder, "%s: the file types are '%s'", what, Narrow(all).c_str());
}

bool OpenImageThroughMenu(App& app, UINT command, const std::wstring& path)
{
    char what[32];
    std::snprintf(what, sizeof what, "menu %u", command);
    return FileThroughDialogOf(
        app, what,
        [&] {
            PostMessageW(app.main, WM_COMMAND, command, 0);
            CheckImageDialog(app, what);
        },
        path, "");
}

int CountProgramDialogs(App& app)
{
    struct Count {
        DWORD pid;
        int n;
    } count{app.process.dwProcessId, 0};
    EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Count*>(p);
            if (IsWindowVisible(hwnd) && WindowProcessId(hwnd) == c->pid &&
                ClassOf(hwnd) == L"#32770")
                ++c->n;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
}

bool AnswerCloseQuestion(App& app, int button, const char* when)
{
    HWND box = WaitProgramDialog(app, 10000, L"vorlin");
    if (!Check(box != nullptr, "%s: no question \"vorlin\" within 10 s", when))
        return false;
    CHECK(GetWindow(box, GW_OWNER) == app.main, "%s: the question is not owned by MainWindow",
          when);
    CHECK(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && GetDlgItem(box, IDCANCEL),
          "%s: the question lacks one of Yes, No and Cancel", when);
    const std::wstring text = MessageText(box);
    CHECK(text.find(L"保存") != std::wstring::npos, "%s: the question asks '%s'", when,
          Narrow(text).c_str());
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return CHECK(WaitFor([&] { return !IsWindow(box); }, 5000),
                 "%s: the question did not close on its answer", when);
}

bool FileThroughDialogOf(App& app, const char* what, const std::function<void()>& open,
                         const std::wstring& typedName, const std::string& unixPathToWatch)
{
    open();
    HWND dialog = WaitProgramDialog(app, 10000);
    if (!Check(dialog != nullptr, "%s opened no file dialog within 10 s", what))
        return false;
    HWND edit = SaveDialogNameEdit(dialog);
    if (!Check(edit != nullptr, "%s: the file dialog has no file name field", what))
        return false;
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typedName.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    // An existing file brings the overwrite question, owned by the dialog.
    bool closed = WaitFor(
        [&] {
            if (!IsWindow(dialog) || !IsWindowVisible(dialog))
                return true;
            HWND ask = FindProgramDialog(app);
            if (ask && ask != dialog && GetWindow(ask, GW_OWNER) == dialog)
                PostMessageW(ask, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
            return false;
        },
        10000);
    if (!Check(closed, "the file dialog of %s did not close after OK", what))
        return false;
    if (unixPathToWatch.empty())
        return true;
    // The file is written after the dialog has gone: wait for a size that stays put.
    int64_t last = -2;
    double since = NowMs();
    bool written = WaitFor(
        [&] {
            int64_t size = FileSize(unixPathToWatch);
            if (size != last) {
                last = size;
                since = NowMs();
            }
            return size > 0 && NowMs() - since >= 250;
        },
        10000);
    return Check(written, "no file %s after the save dialog", unixPathToWatch.c_str());
}

// ---- real input ----------------------------------------------------------------------------

bool HaveRealInput() { return !gContext.inputDir.empty(); }

// A request file holds one line: "xdotool ARGS" or "@import PATH"; the helper answers with
// a .done file holding the exit status.
bool RealInput(const std::string& xdotoolArgs)
{
    if (!HaveRealInput())
        return Check(false, "no real-input helper (run the driver from the suite runner)");
    static int serial = 0;
    char name[64];
    std::snprintf(name, sizeof name, "req-%lu-%d", GetCurrentProcessId(), ++serial);
    std::string base = gContext.inputDir + "/" + name;
    std::string line = xdotoolArgs[0] == '@' ? xdotoolArgs.substr(1) : "xdotool " + xdotoolArgs;
    {
        std::wstring tmp = WinPath(base + ".tmp");
        HANDLE f = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return Check(false, "cannot write the input request %s", base.c_str());
        DWORD n = 0;
        line += "\n";
        WriteFile(f, line.data(), DWORD(line.size()), &n, nullptr);
        CloseHandle(f);
        MoveFileW(tmp.c_str(), WinPath(base + ".req").c_str());
    }
    std::string done = base + ".done";
    if (!Check(WaitFor([&] { return FileExists(done); }, 20000),
               "the input helper did not answer: %s", line.c_str()))
        return false;
    Pump(50);
    return true;
}
