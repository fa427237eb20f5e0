// The exchange in-process: a clipboard bitmap and packed bitmap blocks of every form pasted,
// and the result copied, through the command layer, each compared bit for bit with the plain
// way through the imaging library kept here, and the wait cursor shown while each runs. The clipboard's owner is a window of
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

// A packed bitmap block of w x h pixels in one of the forms a program offers: a 40- or
// 124-byte header, `bits` per pixel, BI_RGB or BI_BITFIELDS (its masks after a 40-byte
// header, inside a longer one), the bottom row first or the top one. Red is x, green y, blue
// both, and the fourth byte of a 32-bit pixel goes through 0, 0x7F and 0xFF.
std::vector<uint8_t> PackedBlock(uint32_t header, int bits, uint32_t compression, bool topDown,
                                 int w, int h)
{
    const size_t stride = (size_t(w) * bits + 31) / 32 * 4;
    const size_t masks = compression == BI_BITFIELDS && header == 40 ? 12 : 0;
    std::vector<uint8_t> block(header + masks + stride * h);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&block[at], &v, 4); };
    put32(0, header);
    put32(4, uint32_t(w));
    put32(8, uint32_t(topDown ? -h : h));
    block[12] = 1;
    block[14] = uint8_t(bits);
    put32(16, compression);
    if (compression == BI_BITFIELDS) {
        put32(40, 0x00FF0000u);
        put32(44, 0x0000FF00u);
        put32(48, 0x000000FFu);
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* row = &block[header + masks + stride * size_t(topDown ? y : h - 1 - y)];
        for (int x = 0; x < w; ++x) {
            const uint8_t b = uint8_t(x * 3 + y * 5), g = uint8_t(y * 9), r = uint8_t(x * 11);
            if (bits == 16) {  // 5-5-5
                const uint16_t v = uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
                std::memcpy(row + x * 2, &v, 2);
                continue;
            }
            uint8_t* p = row + x * (bits / 8);
            p[0] = b, p[1] = g, p[2] = r;
            if (bits == 32)
                p[3] = uint8_t((x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 0x7F : 0xFF);
        }
    }
    return block;
}

// Today's way for a bitmap: the library's image of the clipboard's CF_BITMAP, which the
// system makes from a block, read as ARGB, with its pixel format.
PixelImage BitmapWayPixels(HWND owner, Gdiplus::PixelFormat& format)
{
    OpenClipboard(owner);
    auto handle = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    Gdiplus::Bitmap plain(handle, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
    CloseClipboard();
    format = plain.GetPixelFormat();
    return CopyArgbPixels(&plain);
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

    // Blocks offered as CF_DIB or CF_DIBV5 in every form, each pasted and compared with the
    // bitmap's way; the 16-bit one is a form the paste leaves to the system's bitmap.
    struct Form {
        UINT format;
        uint32_t header;
        int bits;
        uint32_t compression;
        bool topDown;
        const char* what;
    };
    const Form forms[] = {
        {CF_DIB, 40, 32, BI_RGB, false, "32 bits, bottom row first"},
        {CF_DIB, 40, 32, BI_RGB, true, "32 bits, top row first"},
        {CF_DIB, 40, 24, BI_RGB, false, "24 bits with padded rows, bottom row first"},
        {CF_DIB, 40, 24, BI_RGB, true, "24 bits with padded rows, top row first"},
        {CF_DIB, 40, 32, BI_BITFIELDS, false, "32 bits with masks after the header"},
        {CF_DIBV5, 124, 32, BI_BITFIELDS, true, "a version 5 header, masks inside it"},
        {CF_DIBV5, 124, 32, BI_RGB, false, "a version 5 header, BI_RGB"},
        {CF_DIB, 40, 16, BI_RGB, false, "16 bits, left to the system's bitmap"},
    };
    for (const Form& f : forms) {
        std::vector<uint8_t> bytes =
            PackedBlock(f.header, f.bits, f.compression, f.topDown, 37, 23);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        OpenClipboard(clipboardOwner);
        EmptyClipboard();
        SetClipboardData(f.format, block);
        CloseClipboard();
        e.sourcePixels = PixelImage{};
        RunCommand(main, Command::PasteSource);
        Gdiplus::PixelFormat format = 0;
        PixelImage bitmapWay = BitmapWayPixels(clipboardOwner, format);
        char what[160];
        std::snprintf(what, sizeof what,
                      "a pasted block of %s gives the pixels and the image of the bitmap's way",
                      f.what);
        Expect(bitmapWay.width == 37 && bitmapWay.height == 23 &&
                   e.sourcePixels.pixels == bitmapWay.pixels && e.sourceImage &&
                   e.sourceImage->GetPixelFormat() == format &&
                   CopyArgbPixels(e.sourceImage.get()).pixels == bitmapWay.pixels,
               what);
    }

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
