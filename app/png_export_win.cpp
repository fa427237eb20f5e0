// The warp result saved as a PNG file through the save dialog, and the library's encoder
// lookup that the clipboard's "PNG" uses too.
#include "app/png_export_win.h"

#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "app/file_dialogs_win.h"
#include "app/handles_win.h"
#include "scene/file_replace.h"
#include "warp/gdiplus_pixels_win.h"
#include "warp/mesh_warp.h"

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
    Gdiplus::Bitmap target = BitmapOverWords(pixels.pixels.data(), pixels.width, pixels.height);
    if (target.GetLastStatus() != Gdiplus::Ok)
        return;

    FileDialog dialog;
    dialog.owner = nullptr;  // no owner: MainWindow stays live while the dialog is open
    dialog.save = true;
    dialog.filter = L"なんでも\0*.*\0\0";
    dialog.initialDir = L"";
    dialog.flags = OFN_OVERWRITEPROMPT | OFN_SHOWHELP | OFN_NOLONGNAMES;
    const std::wstring path = AskFileName(dialog);
    if (path.empty())
        return;

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
