// GDI+ pixel locks feeding the portable warp.
#include "warp/gdiplus_pixels_win.h"

#include <cstring>

#include "warp/mesh_warp.h"

static PixelBuffer BufferFromLock(const Gdiplus::BitmapData& data)
{
    PixelBuffer buffer;
    buffer.width = data.Width;
    buffer.height = data.Height;
    buffer.stride = data.Stride;
    buffer.pixelFormat = data.PixelFormat;
    buffer.pixels = data.Scan0;
    buffer.reserved = data.Reserved;
    return buffer;
}

bool IsWholeImage(Gdiplus::Bitmap* image)
{
    if (!image || image->GetLastStatus() != Gdiplus::Ok)
        return false;
    UINT width = image->GetWidth();
    UINT height = image->GetHeight();
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        return false;
    Gdiplus::Rect bottom(0, INT(height) - 1, INT(width), 1);
    Gdiplus::BitmapData data{};
    if (image->LockBits(&bottom, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok)
        return false;
    image->UnlockBits(&data);
    return true;
}

PixelImage CopyArgbPixels(Gdiplus::Bitmap* image)
{
    PixelImage pixels;
    if (!image || image->GetLastStatus() != Gdiplus::Ok)
        return pixels;
    UINT width = image->GetWidth();
    UINT height = image->GetHeight();
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        return pixels;

    Gdiplus::Rect whole(0, 0, INT(width), INT(height));
    Gdiplus::BitmapData data{};
    if (image->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok)
        return pixels;  // nothing to read: the source stays without pixels
    // a bottom-up lock (negative stride) is copied row by row just the same
    if (data.Width == width && data.Height == height && data.Scan0 &&
        pixels.Allocate(width, height)) {
        const auto* base = static_cast<const unsigned char*>(data.Scan0);
        for (UINT y = 0; y < height; ++y)
            std::memcpy(&pixels.pixels[size_t(y) * width],
                        base + static_cast<ptrdiff_t>(y) * data.Stride, size_t(width) * 4);
    }
    image->UnlockBits(&data);
    return pixels;
}

void RenderWarpIntoBitmap(Gdiplus::Bitmap& target, const PixelImage& source, const MeshEditState& e)
{
    if (target.GetLastStatus() != Gdiplus::Ok)
        return;
    UINT width = target.GetWidth();
    UINT height = target.GetHeight();
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        return;

    Gdiplus::Rect whole(0, 0, INT(width), INT(height));
    Gdiplus::BitmapData data{};
    // Read as well as write: the target already holds the background and the backdrop, and
    // the pixels the warp does not reach must keep them.
    if (target.LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite,
                        PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return;
    if (data.Scan0 && data.Stride > 0 && data.Width == width && data.Height == height) {
        RenderEditorWarp(source.Lock(), BufferFromLock(data), e, 0);
    }
    target.UnlockBits(&data);
}
