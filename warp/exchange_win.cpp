// Clipboard and PNG exchange: the exported image is the warp alone at one pixel per canvas
// pixel, independent of the backdrop, the overlays and resultZoom.
#include "warp/exchange_win.h"

#include <commdlg.h>

#include <cwchar>
#include <new>
#include <string>

#include "warp/dib_block.h"
#include "warp/file_replace.h"
#include "warp/gdiplus_pixels_win.h"
#include "warp/mesh_warp.h"
#include "warp/wait_cursor_win.h"

namespace {

// The longest path the system's file functions take, in UTF-16 units.
constexpr DWORD kLongestPath = 32768;

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

PastedImage PasteImageFromClipboard(HWND owner)
{
    const UINT png = PngClipboardFormat();
    const bool bitmapOffered = IsClipboardFormatAvailable(CF_BITMAP);
    if (!bitmapOffered && !(png && IsClipboardFormatAvailable(png)))
        return {};  // the clipboard is not even opened
    ScopedClipboard clipboard(owner);
    if (!bitmapOffered) {
        auto block = static_cast<HGLOBAL>(GetClipboardData(png));
        return block ? DecodePngBlock(block) : PastedImage{};
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

PixelImage RenderResultPixels(MeshEditState& e, const PixelImage& source)
{
    MeasureCanvas(e.columnCurves, e.rowCurves, e.canvasWidth, e.canvasHeight);
    // Points saturated from a far-out zoom can give a canvas of 2^31 pixels a side; a
    // canvas whose pixel memory would not fit the library's int32 sizes is not made at all.
    PixelImage pixels;  // every pixel starts transparent
    if (!CanvasFitsBitmap(e.canvasWidth, e.canvasHeight) ||
        !pixels.Allocate(uint32_t(e.canvasWidth), uint32_t(e.canvasHeight)))
        return {};
    // with nothing marked no warp is made, as in the pane
    RenderEditorWarp(source.Lock(), pixels.Lock(), e, 0);
    return pixels;
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
    HGLOBAL block = MakeDibBlock(pixels);
    if (!block)
        return {};
    ScopedClipboard clipboard(owner);
    EmptyClipboard();
    // From a successful SetClipboardData on the clipboard owns the block; a refused block
    // has no owner and is freed here.
    if (!SetClipboardData(CF_DIB, block))
        GlobalFree(block);
    // The PNG, transparency kept, is only promised: it is encoded when a program asks. A
    // promise gives no handle back, so whether it stands is asked of the clipboard.
    const UINT png = PngClipboardFormat();
    if (!png)
        return {};
    SetClipboardData(png, nullptr);
    if (GetClipboardOwner() != owner || !IsClipboardFormatAvailable(png))
        return {};
    return pixels;
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
    PixelImage pixels;
    {
        ScopedWaitCursor wait;
        pixels = RenderResultPixels(e, source);
    }
    if (pixels.pixels.empty())
        return;
    Gdiplus::Bitmap target = BitmapOver(pixels);
    if (target.GetLastStatus() != Gdiplus::Ok)
        return;

    // Room for a path of any length the system takes: a name that does not fit would make
    // the dialog fail as if cancelled.
    std::wstring path(kLongestPath, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = nullptr;  // no owner: MainWindow stays live while the dialog is open
    dialog.lpstrFilter = L"なんでも\0*.*\0\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kLongestPath;
    dialog.lpstrInitialDir = L"";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_SHOWHELP | OFN_NOLONGNAMES;
    // Success with an empty name happens when MainWindow is destroyed while the dialog is
    // open; there is nothing to save to, so it counts as a cancel.
    if (!GetSaveFileNameW(&dialog) || path[0] == L'\0')
        return;
    path.resize(std::wcslen(path.c_str()));

    CLSID png;
    if (!FindEncoderClsid(L"image/png", png))
        return;
    // The path exactly as returned. The encoder writes a new file beside it, which replaces
    // the chosen one only when complete: a failure part-way leaves the old file whole.
    ScopedWaitCursor wait;
    ReplaceFileWith(path, [&](const std::filesystem::path& partial) {
        return target.Save(partial.c_str(), &png, nullptr) == Gdiplus::Ok;
    });
}
