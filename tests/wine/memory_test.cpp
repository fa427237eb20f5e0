// The program's windows in-process while memory runs out: operator new here fails on
// demand, and so does GdipAlloc, which GDI+'s own objects come from. Messages whose handling
// allocates (a stroke's first point, the grid rebuilt at its end, a paint's label font, text
// and warp bands, a pasted or dropped image, a copy's canvas) must end without ending the
// program, with the mesh, the images and the clipboard as they were and no paint message
// left pending.
//   vorlin_memory_test.exe
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/editor_state.h"
#include "app/windows_win.h"
#include "inprocess.h"
#include "mesh/node_grid.h"
#include "app/clipboard_win.h"
#include "app/png_export_win.h"
#include "warp/mesh_warp.h"

namespace {

std::atomic<bool> gOutOfMemory{false};         // operator new throws
std::atomic<bool> gGdiplusOutOfMemory{false};  // GdipAlloc gives null
std::atomic<long> gRefused{0};

void* Allocate(size_t size)
{
    if (gOutOfMemory.load(std::memory_order_relaxed)) {
        ++gRefused;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

}  // namespace

// GDI+'s objects (Bitmap, Font, ...) come from GdiplusBase::operator new, which returns
// what GdipAlloc gives: null when memory runs out.
namespace DllExports {
extern "C" {
VOID* WINGDIPAPI GdipAlloc(size_t size)
{
    if (gGdiplusOutOfMemory.load(std::memory_order_relaxed)) {
        ++gRefused;
        return nullptr;
    }
    return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}
VOID WINGDIPAPI GdipFree(VOID* p)
{
    if (p)
        HeapFree(GetProcessHeap(), 0, p);
}
}  // extern "C"
}  // namespace DllExports

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

bool MeshIsWhole(const EditorState& e)
{
    return GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size());
}

// Paints the pane now, with every allocation of one kind refused, and tells whether the
// paint message was seen to its end: afterwards nothing of the pane may be left to paint.
bool PaintsWithoutMemory(HWND pane, std::atomic<bool>& outOfMemory = gOutOfMemory)
{
    InvalidateRect(pane, nullptr, FALSE);
    const long before = gRefused;
    outOfMemory = true;
    UpdateWindow(pane);
    outOfMemory = false;
    std::printf("  %ld allocations refused during the paint\n", gRefused - before);
    return GetUpdateRect(pane, nullptr, FALSE) == FALSE && gRefused > before;
}

// A 3 x 2 device-dependent bitmap on the clipboard, as another program leaves one.
bool PutBitmapOnClipboard()
{
    const uint32_t pixels[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                0xFFFFFFFF, 0xFF000000, 0xFF808080};
    HBITMAP bitmap = CreateBitmap(3, 2, 1, 32, pixels);
    if (!bitmap || !OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    bool set = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    CloseClipboard();
    return set;
}

}  // namespace

int wmain()
{
    HWND main = StartInProcess();
    if (!main)
        return 1;
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    EditorState& e = gEditor;
    const HWND result = e.resultPane;

    // A 2 x 2 mesh and a marked rectangle, so that a paint warps.
    e.sourceSelection = SelectionRect{0, 0, 10, 10};
    Stroke(result, 20, 10, 20, 200);
    Stroke(result, 200, 10, 200, 200);
    SendMessageW(main, WM_KEYDOWN, 'T', 1);
    Stroke(result, 10, 20, 210, 20);
    Stroke(result, 10, 190, 210, 190);
    SendMessageW(main, WM_KEYDOWN, 'H', 1);
    Expect(e.columnCurves.size() == 2 && e.rowCurves.size() == 2 && MeshIsWhole(e),
           "a 2 x 2 mesh is drawn");

    // A stroke that cannot get its first point: no curve, no stroke under way.
    gOutOfMemory = true;
    SendMessageW(result, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 5));
    gOutOfMemory = false;
    Expect(e.columnCurves.size() == 2 && e.interactionMode == InteractionMode::Idle,
           "a press without memory starts no stroke");

    // A stroke whose end cannot rebuild the grid: a later release or edit finishes the work.
    SendMessageW(result, WM_LBUTTONDOWN, MK_LBUTTON, At(110, 5));
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(110, 100));
    SendMessageW(result, WM_MOUSEMOVE, MK_LBUTTON, At(112, 205));
    gOutOfMemory = true;
    SendMessageW(result, WM_LBUTTONUP, 0, At(112, 205));
    gOutOfMemory = false;
    SendMessageW(result, WM_LBUTTONUP, 0, At(112, 205));
    Expect(e.interactionMode == InteractionMode::Idle && e.columnCurves.size() == 3,
           "the stroke ends at the next release and stays a column");
    Stroke(result, 150, 5, 150, 205);
    Expect(e.columnCurves.size() == 4 && MeshIsWhole(e), "after it the mesh is whole again");

    // Paints that run out of memory still validate their panes.
    Expect(PaintsWithoutMemory(result),
           "ResultPane: a paint without memory leaves nothing to paint");
    Expect(PaintsWithoutMemory(e.sourcePane),
           "SourcePane: a paint without memory leaves nothing to paint");

    // Keys whose commands allocate.
    gOutOfMemory = true;
    SendMessageW(main, WM_KEYDOWN, 'W', 1);
    SendMessageW(main, WM_KEYDOWN, 'C', 1);
    SendMessageW(main, WM_KEYDOWN, 'P', 1);
    gOutOfMemory = false;
    Expect(e.columnCurves.size() == 4 && MeshIsWhole(e),
           "a refinement without memory leaves the mesh as it was");
    SendMessageW(main, WM_KEYDOWN, 'W', 1);
    Expect(e.columnCurves.size() == 7 && e.rowCurves.size() == 3 && MeshIsWhole(e),
           "with memory back the mesh refines");

    // Pasted and dropped images while GDI+ has no memory: every image stays as it was.
    Expect(PutBitmapOnClipboard(), "a bitmap is put on the clipboard");
    SendMessageW(main, WM_KEYDOWN, 'V', 1);
    CLSID png;
    Expect(e.sourceImage && FindEncoderClsid(L"image/png", png) &&
               e.sourceImage->Save(L"memory_drop.png", &png, nullptr) == Gdiplus::Ok,
           "the pasted bitmap is pasted and saved as a file to drop");
    Gdiplus::Bitmap* source = e.sourceImage.get();
    const PixelImage pixels = e.sourcePixels;
    wchar_t dropped[MAX_PATH];
    GetFullPathNameW(L"memory_drop.png", MAX_PATH, dropped, nullptr);
    const DWORD clipboard = GetClipboardSequenceNumber();
    gGdiplusOutOfMemory = true;
    SendMessageW(main, WM_KEYDOWN, 'V', 1);
    SendMessageW(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop({dropped}, POINT{1, 1})), 0);
    SendMessageW(result, WM_DROPFILES, WPARAM(MakeDrop({dropped}, POINT{1, 1})), 0);
    gGdiplusOutOfMemory = false;
    gOutOfMemory = true;  // the copy's canvas is the program's own memory
    SendMessageW(main, WM_KEYDOWN, 'C', 1);
    gOutOfMemory = false;
    Expect(e.sourceImage.get() == source && e.sourcePixels.pixels == pixels.pixels &&
               !e.backdropImage,
           "a paste and drops without memory leave every image as it was");
    Expect(GetClipboardSequenceNumber() == clipboard,
           "a copy without memory leaves the clipboard as it was");
    Expect(PaintsWithoutMemory(result, gGdiplusOutOfMemory),
           "a paint whose label fonts cannot be made leaves nothing to paint");
    SendMessageW(result, WM_DROPFILES, WPARAM(MakeDrop({dropped}, POINT{1, 1})), 0);
    Expect(e.backdropImage && e.backdropImage->GetWidth() == 3,
           "with memory back the same file drops");
    return CloseAndReport(main);
}
