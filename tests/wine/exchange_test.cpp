// The exchange in-process: a clipboard bitmap pasted and the result copied through the
// command layer, each compared bit for bit with the plain way through the imaging library
// kept here, and the wait cursor shown while each runs. The clipboard's owner is a window of
// this test, so the program's clipboard calls reach it in the middle of each command.
//   vorlin_exchange_test.exe
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/editor_state.h"
#include "app/windows_win.h"
#include "inprocess.h"
#include "warp/dib_block.h"
#include "app/clipboard_win.h"
#include "app/png_export_win.h"
#include "warp/mesh_warp.h"
#include "warp/gdiplus_pixels_win.h"

namespace {

HBITMAP gPromised = nullptr;  // handed over when the paste asks for the delayed bitmap
HCURSOR gCursorInside = nullptr;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_RENDERFORMAT:  // the paste reads the bitmap
        gCursorInside = GetCursor();
        SetClipboardData(CF_BITMAP, gPromised);
        return 0;
    case WM_DESTROYCLIPBOARD:  // the copy empties the clipboard
        gCursorInside = GetCursor();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The plain copy: the library's conversion over black to a bitmap handle, its rows read back.
std::vector<uint8_t> PlainDibBlock(EditorState& e)
{
    std::vector<uint8_t> block;
    PixelImage pixels = RenderResultPixels(e, e.sourcePixels);
    Gdiplus::Bitmap target = BitmapOverWords(pixels.pixels.data(), pixels.width, pixels.height);
    HBITMAP bitmap = nullptr;
    if (pixels.pixels.empty() ||
        target.GetHBITMAP(Gdiplus::Color(0xFF000000), &bitmap) != Gdiplus::Ok)
        return block;
    block.resize(*DibBlockSize(e.canvasWidth, e.canvasHeight));
    std::array<uint8_t, kDibHeaderBytes> header = DibHeader(e.canvasWidth, e.canvasHeight);
    std::memcpy(block.data(), header.data(), header.size());
    BITMAPINFO info{};
    std::memcpy(&info, header.data(), sizeof info);
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, bitmap, 0, UINT(e.canvasHeight), block.data() + kDibHeaderBytes, &info,
              DIB_RGB_COLORS);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return block;
}

}  // namespace

int wmain()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND main = StartInProcess();
    if (!main)
        return 1;
    WNDCLASSW owner{};
    owner.lpfnWndProc = OwnerProc;
    owner.hInstance = instance;
    owner.lpszClassName = L"vorlin_test_owner";
    RegisterClassW(&owner);
    HWND clipboardOwner = CreateWindowExW(0, owner.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr,
                                          nullptr, instance, nullptr);
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    EditorState& e = gEditor;

    // 61 x 47 pixels whose fourth byte is not 0xFF everywhere: a lock reads them opaque.
    std::vector<uint32_t> bits(61 * 47);
    for (uint32_t i = 0; i < bits.size(); ++i)
        bits[i] = (i % 3 ? 0x00000000u : 0x7F000000u) | (i * 2654435761u >> 8);
    gPromised = CreateBitmap(61, 47, 1, 32, bits.data());
    OpenClipboard(clipboardOwner);
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, nullptr);  // rendered when asked for
    CloseClipboard();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    RunCommand(main, Command::PasteSource);
    Expect(gCursorInside == wait && GetCursor() != wait,
           "the wait cursor shows while the paste reads the bitmap, and only then");

    OpenClipboard(clipboardOwner);
    auto handle = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    Gdiplus::Bitmap plain(handle, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
    CloseClipboard();
    PixelImage plainPixels = CopyArgbPixels(&plain);
    Expect(plainPixels.width == 61 && e.sourcePixels.pixels == plainPixels.pixels &&
               e.sourceImage && e.sourceImage->GetPixelFormat() == plain.GetPixelFormat() &&
               CopyArgbPixels(e.sourceImage.get()).pixels == plainPixels.pixels,
           "the pasted pixels and SourceImage are those of the library's image of the bitmap");

    // Two bent columns and rows over a 72 x 47 canvas, with pixels outside every cell.
    e.columnCurves = {Curve{{2, 1}, {3, 40}}, Curve{{60, 0}, {55, 45}}};
    e.rowCurves = {Curve{{0, 2}, {70, 5}}, Curve{{1, 38}, {66, 42}}};
    RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    e.sourceSelection = SelectionRect{3, 2, 50, 40};
    gCursorInside = nullptr;
    RunCommand(main, Command::CopyResult);
    Expect(gCursorInside == wait && GetCursor() != wait,
           "the wait cursor shows while the copy runs, and only then");
    std::vector<uint8_t> copied;
    OpenClipboard(clipboardOwner);
    if (HANDLE h = GetClipboardData(CF_DIB)) {
        const auto* p = static_cast<const uint8_t*>(GlobalLock(h));
        copied.assign(p, p + GlobalSize(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    std::vector<uint8_t> expected = PlainDibBlock(e);
    Expect(expected.size() == 72 * 47 * 4 + 44 && copied == expected,
           "the copied block is the library's round trip byte for byte");
    DestroyWindow(clipboardOwner);
    return CloseAndReport(main);
}
