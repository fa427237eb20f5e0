// Clipboard and PNG exchange: the exported image is the warp alone at one pixel per canvas
// pixel, independent of the backdrop, the overlays and resultZoom.
#include "warp/exchange_win.h"

#include <commdlg.h>

#include "app/scoped_win.h"

#include <cwchar>
#include <new>

#include "warp/dib_block.h"
#include "warp/gdiplus_pixels_win.h"
#include "warp/mesh_warp.h"

namespace {

// Open for the lifetime of the guard; a failed open is not examined, so the clipboard
// calls in between simply fail.
class ScopedClipboard {
public:
    explicit ScopedClipboard(HWND owner) { OpenClipboard(owner); }
    ~ScopedClipboard() { CloseClipboard(); }
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;
};

}  // namespace

ClipboardPaste PasteBitmapFromClipboard(HWND owner)
{
    ClipboardPaste paste;
    if (!IsClipboardFormatAvailable(CF_BITMAP))
        return paste;  // the clipboard is not even opened
    ScopedClipboard clipboard(owner);
    // the handle stays the clipboard's: GDI+ copies its pixels and it is not deleted
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!bitmap)
        return paste;
    paste.found = true;
    if (!ReadBitmapHandle(bitmap, paste.pixels, paste.image))
        paste.image.reset(
            new Gdiplus::Bitmap(bitmap, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))));
    return paste;
}

std::unique_ptr<Gdiplus::Bitmap> RenderResultBitmap(MeshEditState& e, const PixelImage& source)
{
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);
    // Points saturated from a far-out zoom can give a canvas of 2^31 pixels a side; a
    // canvas whose pixel memory would not fit the library's int32 sizes is not made at all.
    if (!CanvasFitsBitmap(e.canvasWidth, e.canvasHeight))
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> target(
        new Gdiplus::Bitmap(e.canvasWidth, e.canvasHeight, PixelFormat32bppARGB));
    if (target->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    RenderWarpIntoBitmap(*target, source, e);
    return target;
}

// The warp rendered straight into a new movable global block, which is then laid out as the
// clipboard block: the same bytes as the library's conversion of a rendered bitmap to a
// handle over black and the read of its rows, without that round trip through two more
// copies of the canvas. Null when the canvas is too large for an export bitmap or the block
// cannot be had.
static HGLOBAL RenderDibBlock(MeshEditState& e, const PixelImage& source)
{
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);
    const int32_t width = e.canvasWidth;
    const int32_t height = e.canvasHeight;
    std::optional<uint64_t> size = DibBlockSize(width, height);
    if (!CanvasFitsBitmap(width, height) || !size || *size > SIZE_MAX)
        return nullptr;
    // zero-filled: every pixel the warp does not write stays transparent
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(*size));
    if (!block)
        return nullptr;
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    if (!bytes) {
        GlobalFree(block);
        return nullptr;
    }
    RenderMeshWarp(source.Lock(), DibBlockPixels(bytes, width, height), e.nodeGrid,
                   e.columnCurves.size(), e.rowCurves.size(), e.sourceSelection, 0);
    FinishDibBlock(bytes, width, height);
    GlobalUnlock(block);
    return block;
}

void CopyResultToClipboard(HWND owner, MeshEditState& e, const PixelImage& source)
{
    HGLOBAL block = RenderDibBlock(e, source);
    if (!block)
        return;  // the clipboard is not touched
    ScopedClipboard clipboard(owner);
    EmptyClipboard();
    // From a successful SetClipboardData on the clipboard owns the block; a refused block
    // has no owner and is freed here.
    if (!SetClipboardData(CF_DIB, block))
        GlobalFree(block);
}

bool FindEncoderClsid(const wchar_t* mimeType, CLSID& clsid)
{
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer)
        return false;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, mimeType) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

void SaveResultAsPng(MeshEditState& e, const PixelImage& source)
{
    // rendered before the dialog: what happens while it is open does not change the image
    std::unique_ptr<Gdiplus::Bitmap> target;
    {
        ScopedWaitCursor wait;
        target = RenderResultBitmap(e, source);
    }
    if (!target)
        return;

    wchar_t path[260] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = nullptr;  // no owner: MainWindow stays live while the dialog is open
    dialog.lpstrFilter = L"なんでも\0*.*\0\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = 260;
    dialog.lpstrInitialDir = L"";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_SHOWHELP | OFN_NOLONGNAMES;
    // Success with an empty name happens when MainWindow is destroyed while the dialog is
    // open; there is nothing to save to, so it counts as a cancel.
    if (!GetSaveFileNameW(&dialog) || path[0] == L'\0')
        return;

    CLSID png;
    if (!FindEncoderClsid(L"image/png", png))
        return;
    // the path exactly as returned; a failure stays in the status
    ScopedWaitCursor wait;
    target->Save(path, &png, nullptr);
}
