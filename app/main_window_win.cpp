// Start-up and shut-down, the window classes, MainWindow and the message loop.
#include "app/editor_state.h"
#include "app/clipboard_win.h"
#include "app/handles_win.h"
#include "app/windows_win.h"

#include <dwmapi.h>  // the record types only; the functions are looked up at run time

static wchar_t gTitle[100];
static wchar_t gMainClassName[100];

static void RegisterOneClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HICON icon,
                             HICON smallIcon, HCURSOR cursor, HBRUSH background,
                             const wchar_t* menu)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszMenuName = menu;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

void RegisterWindowClasses(HINSTANCE instance)
{
    LoadStringW(instance, VORLIN_STR_TITLE, gTitle, 100);
    LoadStringW(instance, VORLIN_STR_CLASS, gMainClassName, 100);
    RegisterOneClass(instance, gMainClassName, GuardedProc<MainWindowProc>,
                     LoadIconW(instance, MAKEINTRESOURCEW(VORLIN_ICON_LARGE)),
                     LoadIconW(instance, MAKEINTRESOURCEW(VORLIN_ICON_SMALL)),
                     LoadCursorW(nullptr, IDC_ARROW), nullptr, MAKEINTRESOURCEW(VORLIN_MENU));
    // The children have no class cursor: their procedures set the pointer on every move.
    RegisterOneClass(instance, kSourcePaneClass, GuardedProc<SourcePaneProc>, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegisterOneClass(instance, kSplitterClass, GuardedProc<SplitterProc>, nullptr, nullptr, nullptr,
                     reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNHIGHLIGHT + 1)),
                     nullptr);
    RegisterOneClass(instance, kResultPaneClass, GuardedProc<ResultPaneProc>, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
}

static HWND CreateChild(HWND main, const wchar_t* className, int size)
{
    HWND child = CreateWindowExW(0, className, nullptr, WS_CHILD, 0, 0, size, size, main, nullptr,
                                 gEditor.instance, nullptr);
    if (child) {
        ShowWindow(child, SW_SHOW);
        UpdateWindow(child);
    }
    return child;
}

// The children are made 1 x 1, 0 x 0 and 1 x 1, so the first proportional relayout puts
// the division in the middle. A child that cannot be made stops the ones after it.
static void OnMainCreate(HWND hwnd)
{
    gEditor.mainWindow = hwnd;
    if (!CreateChild(hwnd, kSourcePaneClass, 1))
        return;
    if (!CreateChild(hwnd, kSplitterClass, 0))
        return;
    CreateChild(hwnd, kResultPaneClass, 1);
}

static void OnMainPaint(HWND hwnd)
{
    ScopedPaint dc(hwnd);
    Gdiplus::Graphics graphics(dc);
    graphics.Clear(Gdiplus::Color(gEditor.mainClearColor));
}

// A child's client rectangle in MainWindow client pixels.
static PaneRect RectInMain(HWND main, HWND child)
{
    RECT r{};
    if (!child || !GetClientRect(child, &r))
        return {};
    MapWindowPoints(child, main, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The wheel goes, unchanged, to the pane under the pointer; over the Splitter to none.
static void OnMainMouseWheel(HWND main, WPARAM wParam, LPARAM lParam)
{
    EditorState& e = gEditor;
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    switch (WheelTargetAt(static_cast<uint32_t>(lParam), Point{origin.x, origin.y},
                          RectInMain(main, e.sourcePane), RectInMain(main, e.resultPane))) {
    case WheelTarget::SourcePane: SendMessageW(e.sourcePane, WM_MOUSEWHEEL, wParam, lParam); break;
    case WheelTarget::ResultPane: SendMessageW(e.resultPane, WM_MOUSEWHEEL, wParam, lParam); break;
    case WheelTarget::None: break;
    }
}

// Moved to a display of another density: the window takes the rectangle the system
// suggests, and the panes repaint with their label text at the new size.
static void OnMainDpiChanged(HWND hwnd, const RECT& suggested)
{
    SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: OnMainCreate(hwnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    // the close box, Alt+F4 and any WM_CLOSE: asked first when work is unsaved
    case WM_CLOSE:
        if (MayClose(hwnd))
            DestroyWindow(hwnd);
        return 0;
    case WM_QUERYENDSESSION: return MayClose(hwnd) ? TRUE : FALSE;
    case WM_SIZE: RelayoutProportionally(); return 0;  // skipped while minimised
    case WM_PAINT: OnMainPaint(hwnd); return 0;
    case WM_KEYDOWN: OnMainKeyDown(hwnd, wParam); return 0;
    case WM_COMMAND:
        if (OnMainCommand(hwnd, LOWORD(wParam)))
            return 0;
        break;
    case WM_MOUSEWHEEL: OnMainMouseWheel(hwnd, wParam, lParam); return 0;
    case WM_RENDERFORMAT: OnMainRenderFormat(UINT(wParam)); return 0;
    case WM_RENDERALLFORMATS: OnMainRenderAllFormats(hwnd); return 0;
    case WM_DESTROYCLIPBOARD: OnMainDestroyClipboard(); return 0;
    case WM_DPICHANGED: OnMainDpiChanged(hwnd, *reinterpret_cast<const RECT*>(lParam)); return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Blur behind the window and the glass frame, through the composition library when it is
// present; results are not examined and a missing entry point is not called.
static void ApplyComposition(HMODULE dwm, HWND main)
{
    using BlurBehindFn = HRESULT(WINAPI*)(HWND, const DWM_BLURBEHIND*);
    using ExtendFrameFn = HRESULT(WINAPI*)(HWND, const MARGINS*);
    auto blurBehind = reinterpret_cast<BlurBehindFn>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmEnableBlurBehindWindow")));
    auto extendFrame = reinterpret_cast<ExtendFrameFn>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmExtendFrameIntoClientArea")));
    HRGN region = CreateRectRgn(-1, -1, 0, 0);
    DWM_BLURBEHIND blur{};
    blur.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
    blur.fEnable = TRUE;
    blur.hRgnBlur = region;
    blur.fTransitionOnMaximized = FALSE;
    if (blurBehind)
        blurBehind(main, &blur);
    if (region)
        DeleteObject(region);
    MARGINS margins{-1, 0, 0, 0};  // cxLeftWidth -1, the rest 0
    if (extendFrame)
        extendFrame(main, &margins);
}

HWND CreateMainWindow(HINSTANCE instance)
{
    RegisterWindowClasses(instance);
    HMODULE dwm = LoadLibraryW(L"DWMAPI.DLL");
    gEditor.instance = instance;
    HWND main = CreateWindowExW(0, gMainClassName, gTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (dwm) {
        if (main)
            ApplyComposition(dwm, main);
        FreeLibrary(dwm);
    }
    return main;
}

int RunProgram(HINSTANCE instance, int showCommand)
{
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, both flags false
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    HWND main = CreateMainWindow(instance);
    if (!main) {
        Gdiplus::GdiplusShutdown(token);
        return 0;
    }
    ShowWindow(main, showCommand);
    UpdateWindow(main);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(VORLIN_ACCELERATORS));

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // The images go before GDI+ does, not in a static destructor after it.
    ReleaseEditorImages();
    Gdiplus::GdiplusShutdown(token);
    return static_cast<int>(msg.wParam);
}
