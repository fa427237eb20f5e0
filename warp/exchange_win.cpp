// Clipboard and PNG exchange: the exported image is the warp alone at one pixel per canvas
// pixel, independent of the backdrop, the overlays and resultZoom.
#include "warp/exchange_win.h"

#include <commdlg.h>

#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "warp/dib_block.h"
#include "warp/file_replace.h"
#include "warp/gdiplus_pixels_win.h"

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

std::unique_ptr<Gdiplus::Bitmap> PasteBitmapFromClipboard(HWND owner)
{
    if (!IsClipboardFormatAvailable(CF_BITMAP))
        return nullptr;  // the clipboard is not even opened
    ScopedClipboard clipboard(owner);
    // the handle stays the clipboard's: GDI+ copies its pixels and it is not deleted
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!bitmap)
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> image(
        new Gdiplus::Bitmap(bitmap, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))));
    if (!IsWholeImage(image.get()))
        return nullptr;  // a bitmap that does not convert replaces nothing
    return image;
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
    if (!target || target->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    RenderWarpIntoBitmap(*target, source, e);
    return target;
}

// The pixel rows of `bitmap` (width x height, 32-bit, bottom row first) into `rows`, which
// holds exactly width * height * 4 bytes: GetDIBits is told that very shape.
static void ReadDibRows(HBITMAP bitmap, const BITMAPINFO& info, void* rows)
{
    BITMAPINFO request = info;  // GetDIBits may fill in fields; the block keeps its header
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return;
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmiHeader.biHeight), rows, &request,
              DIB_RGB_COLORS);
    DeleteDC(dc);
}

// A movable global block holding the header and the rows; null when it cannot be had.
static HGLOBAL MakeDibBlock(int32_t width, int32_t height, HBITMAP bitmap)
{
    std::optional<uint64_t> size = DibBlockSize(width, height);
    if (!size || *size > SIZE_MAX)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(*size));
    if (!block)
        return nullptr;
    auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
    if (!bytes) {
        GlobalFree(block);
        return nullptr;
    }
    std::array<uint8_t, kDibHeaderBytes> header = DibHeader(width, height);
    std::memcpy(bytes, header.data(), header.size());
    if (bitmap) {  // a failed conversion leaves the rows zero
        BITMAPINFO info{};
        std::memcpy(&info, header.data(), sizeof(info));
        ReadDibRows(bitmap, info, bytes + kDibHeaderBytes);
    }
    GlobalUnlock(block);
    return block;
}

void CopyResultToClipboard(HWND owner, MeshEditState& e, const PixelImage& source)
{
    std::unique_ptr<Gdiplus::Bitmap> target = RenderResultBitmap(e, source);
    if (!target)
        return;  // the clipboard is not touched
    int32_t width = e.canvasWidth;
    int32_t height = e.canvasHeight;

    ScopedClipboard clipboard(owner);
    EmptyClipboard();
    HBITMAP bitmap = nullptr;
    // transparent pixels come out black
    if (target->GetHBITMAP(Gdiplus::Color(0xFF000000), &bitmap) != Gdiplus::Ok)
        bitmap = nullptr;
    HGLOBAL block = MakeDibBlock(width, height, bitmap);
    if (bitmap)
        DeleteObject(bitmap);
    // From a successful SetClipboardData on the clipboard owns the block; a refused block
    // has no owner and is freed here. No block: the emptied clipboard stays empty.
    if (block && !SetClipboardData(CF_DIB, block))
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
    std::unique_ptr<Gdiplus::Bitmap> target = RenderResultBitmap(e, source);
    if (!target)
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
    ReplaceFileWith(path, [&](const std::filesystem::path& partial) {
        return target->Save(partial.c_str(), &png, nullptr) == Gdiplus::Ok;
    });
}
