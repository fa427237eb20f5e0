// The clipboard: a bitmap (or a "PNG") pasted as SourceImage, and the warp result copied:
// rendered once and promised as a CF_DIB and a "PNG", its pixels kept by MainWindow, the
// copy's owner, until a program asks for a format or the clipboard lets them go. The exported image is the warp alone at
// one pixel per canvas pixel, independent of the backdrop, the overlays and resultZoom.
#include "app/clipboard_win.h"

#include <new>
#include <utility>

#include "app/editor_state.h"
#include "app/handles_win.h"
#include "app/png_export_win.h"
#include "warp/dib_block.h"
#include "warp/gdiplus_pixels_win.h"
#include "warp/mesh_warp.h"

UINT PngClipboardFormat() { return RegisterClipboardFormatW(L"PNG"); }

// The clipboard's "PNG" block decoded through GDI+, while the clipboard is open, into ARGB
// pixels of its own and an image that draws from them, so that nothing goes on reading the
// stream; no image when the block does not decode whole.
static PastedImage DecodePngBlock(HGLOBAL block)
{
    IStream* stream = nullptr;
    // the block stays the clipboard's: the stream only reads it and does not free it
    if (FAILED(CreateStreamOnHGlobal(block, FALSE, &stream)) || !stream)
        return {};
    PastedImage pasted;
    {
        Gdiplus::Bitmap decoded(stream);
        if (IsWholeImage(&decoded))
            pasted.pixels = CopyArgbPixels(&decoded);
    }
    stream->Release();
    if (pasted.pixels.pixels.empty())
        return {};
    pasted.image = ImageOverPixels(pasted.pixels, PixelFormat32bppARGB);
    return pasted;
}

// Of the bitmap formats, the one the clipboard lists first: the formats a program placed
// come before the ones the system makes from them. 0 when it lists none.
static UINT FirstBitmapFormat()
{
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        if (format == CF_DIBV5 || format == CF_DIB || format == CF_BITMAP)
            return format;
    return 0;
}

// A packed bitmap block read straight into the warp's pixels, which a 32-bit RGB image then
// draws from: the pixels and the image the system's bitmap of the same block gives. No image
// for a form that the reading leaves to the system.
static PastedImage ReadDibGlobal(HGLOBAL block)
{
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(block));
    if (!bytes)
        return {};
    PastedImage pasted;
    const bool read = ReadDibBlock(bytes, GlobalSize(block), pasted.pixels);
    GlobalUnlock(block);
    if (!read)
        return {};
    pasted.image = ImageOverPixels(pasted.pixels, PixelFormat32bppRGB);
    return pasted.image ? std::move(pasted) : PastedImage{};
}

PastedImage PasteImageFromClipboard(HWND owner)
{
    const UINT png = PngClipboardFormat();
    const bool bitmapOffered = IsClipboardFormatAvailable(CF_BITMAP) ||
                               IsClipboardFormatAvailable(CF_DIB) ||
                               IsClipboardFormatAvailable(CF_DIBV5);
    if (!bitmapOffered && !(png && IsClipboardFormatAvailable(png)))
        return {};  // the clipboard is not even opened
    ScopedClipboard clipboard(owner);
    if (!bitmapOffered) {
        auto block = static_cast<HGLOBAL>(GetClipboardData(png));
        return block ? DecodePngBlock(block) : PastedImage{};
    }
    // A block as another program placed it is read as it is, skipping the system's
    // conversion into a device-dependent bitmap and the read back of that; a form it does
    // not read takes the bitmap's way, as does a bitmap placed as such.
    const UINT format = FirstBitmapFormat();
    if (format == CF_DIBV5 || format == CF_DIB) {
        if (auto block = static_cast<HGLOBAL>(GetClipboardData(format))) {
            PastedImage pasted = ReadDibGlobal(block);
            if (pasted.image)
                return pasted;
        }
    }
    // the handle stays the clipboard's: its pixels are copied and it is not deleted
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!bitmap)
        return {};
    // A 32-bit bitmap is read once into the pixels the warp takes; any other goes through
    // the library, and one that does not convert replaces nothing.
    PastedImage pasted;
    if (ReadBitmapHandle(bitmap, pasted.pixels, pasted.image))
        return pasted;
    pasted.image.reset(
        new Gdiplus::Bitmap(bitmap, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))));
    if (!IsWholeImage(pasted.image.get()))
        return {};
    return pasted;
}

// The clipboard block laid out from the rendered pixels in a new movable global block: the
// same bytes as the library's conversion of a bitmap of them to a handle over black and the
// read of its rows, without that round trip through two more copies of the canvas. Null when
// the block cannot be had.
static HGLOBAL MakeDibBlock(const PixelImage& pixels)
{
    std::optional<uint64_t> size = DibBlockSize(int32_t(pixels.width), int32_t(pixels.height));
    if (!size || *size > SIZE_MAX)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(*size));
    if (!block)
        return nullptr;
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    if (!bytes) {
        GlobalFree(block);
        return nullptr;
    }
    WriteDibBlock(pixels.Lock(), bytes);
    GlobalUnlock(block);
    return block;
}

// A GDI+ bitmap over the image's own pixels, which only reads them.
static Gdiplus::Bitmap BitmapOver(const PixelImage& pixels)
{
    return BitmapOverWords(const_cast<uint32_t*>(pixels.pixels.data()), pixels.width,
                           pixels.height);
}

PixelImage CopyResultToClipboard(HWND owner, MeshEditState& e, const PixelImage& source)
{
    PixelImage pixels = RenderResultPixels(e, source);
    if (pixels.pixels.empty())
        return {};  // the clipboard is not touched
    const UINT png = PngClipboardFormat();
    // Another program holding the clipboard keeps it as it was.
    ScopedClipboard clipboard(owner);
    if (!clipboard.IsOpen() || !png || !EmptyClipboard())
        return {};
    // Both formats are only promised: each is laid out from the kept pixels when a program
    // asks for it, or before MainWindow goes. A promise gives no handle back, so whether the
    // promises stand is asked of the clipboard.
    SetClipboardData(CF_DIB, nullptr);
    SetClipboardData(png, nullptr);
    if (GetClipboardOwner() != owner || !IsClipboardFormatAvailable(CF_DIB) ||
        !IsClipboardFormatAvailable(png))
        return {};
    return pixels;
}

void PutDibOnClipboard(const PixelImage& pixels)
{
    if (pixels.pixels.empty())
        return;
    HGLOBAL block = MakeDibBlock(pixels);
    // From a successful SetClipboardData on the clipboard owns the block; a refused block
    // has no owner and is freed here.
    if (block && !SetClipboardData(CF_DIB, block))
        GlobalFree(block);
}

void PutPngOnClipboard(const PixelImage& pixels)
{
    if (pixels.pixels.empty())
        return;
    CLSID encoder;
    if (!FindEncoderClsid(L"image/png", encoder))
        return;
    Gdiplus::Bitmap image = BitmapOver(pixels);
    if (image.GetLastStatus() != Gdiplus::Ok)
        return;
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, FALSE, &stream)) || !stream)
        return;
    STATSTG stat{};
    bool encoded = image.Save(stream, &encoder, nullptr) == Gdiplus::Ok &&
                   SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME));
    HGLOBAL block = nullptr;
    GetHGlobalFromStream(stream, &block);  // ours on every path: the stream does not free it
    stream->Release();
    if (!block)
        return;
    if (!encoded) {
        GlobalFree(block);
        return;
    }
    // the stream's block may have room beyond the bytes written; the clipboard gets them alone
    if (GlobalSize(block) != stat.cbSize.QuadPart) {
        HGLOBAL exact = GlobalReAlloc(block, SIZE_T(stat.cbSize.QuadPart), GMEM_MOVEABLE);
        if (!exact) {
            GlobalFree(block);
            return;
        }
        block = exact;
    }
    if (!SetClipboardData(PngClipboardFormat(), block))
        GlobalFree(block);
}

// A clipboard bitmap (or else "PNG") becomes SourceImage; with none on the clipboard, or
// one that does not convert, nothing changes.
void PasteSource(HWND main)
{
    EditorState& e = gEditor;
    ScopedWaitCursor wait;
    PastedImage pasted = PasteImageFromClipboard(main);
    if (!pasted.image ||
        !ReplacePaneImage(PaneImage::Source, std::move(pasted.image), std::move(pasted.pixels)))
        return;
    Repaint(e.sourcePane);
    Repaint(e.resultPane);
}

// The copy's pixels are kept while the clipboard promises them; a copy that promised
// nothing leaves the last promises standing.
void CopyResult(HWND main)
{
    EditorState& e = gEditor;
    ScopedWaitCursor wait;
    PixelImage promised = CopyResultToClipboard(main, e, e.sourcePixels);
    if (!promised.pixels.empty())
        e.clipboardPixels = std::move(promised);
}

void OnMainRenderFormat(UINT format)
{
    if (format == CF_DIB)
        PutDibOnClipboard(gEditor.clipboardPixels);
    else if (format == PngClipboardFormat())
        PutPngOnClipboard(gEditor.clipboardPixels);
}

// Before MainWindow goes, every promise is kept, if the clipboard is still ours.
void OnMainRenderAllFormats(HWND main)
{
    ScopedClipboard clipboard(main);
    if (!clipboard.IsOpen() || GetClipboardOwner() != main)
        return;
    PutDibOnClipboard(gEditor.clipboardPixels);
    PutPngOnClipboard(gEditor.clipboardPixels);
}

void OnMainDestroyClipboard() { gEditor.clipboardPixels = PixelImage{}; }
