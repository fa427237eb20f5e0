// GDI+ pixel locks feeding the portable warp.
#include "warp/gdiplus_pixels_win.h"

#include <cstring>
#include <utility>

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

// One GetDIBits of the whole bitmap, instead of the library's row by row into an image of
// its own and a format conversion on every lock of that. The library makes a 32-bit RGB
// image of a 32-bit handle, whose pixels a lock delivers opaque: so the alpha is set here.
bool ReadBitmapHandle(HBITMAP bitmap, PixelImage& pixels, std::unique_ptr<Gdiplus::Bitmap>& image)
{
    BITMAP shape{};
    if (GetObjectW(bitmap, sizeof shape, &shape) != sizeof shape || shape.bmBitsPixel != 32 ||
        shape.bmWidth <= 0 || shape.bmHeight <= 0)
        return false;
    const uint32_t width = uint32_t(shape.bmWidth);
    const uint32_t height = uint32_t(shape.bmHeight);
    PixelImage read;
    if (!read.Allocate(width, height))
        return false;
    BITMAPINFO info = TopDownInfo32(shape.bmWidth, shape.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return false;
    int rows = GetDIBits(dc, bitmap, 0, height, read.pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != shape.bmHeight)
        return false;
    for (uint32_t& word : read.pixels)
        word |= 0xFF000000u;
    std::unique_ptr<Gdiplus::Bitmap> view = ImageOverPixels(read, PixelFormat32bppRGB);
    if (!view)
        return false;
    pixels = std::move(read);
    image = std::move(view);
    return true;
}

Gdiplus::Bitmap BitmapOverWords(uint32_t* words, uint32_t width, uint32_t height,
                                Gdiplus::PixelFormat format)
{
    return Gdiplus::Bitmap(INT(width), INT(height), INT(width * 4), format,
                           reinterpret_cast<BYTE*>(words));
}

std::unique_ptr<Gdiplus::Bitmap> ImageOverPixels(PixelImage& pixels, Gdiplus::PixelFormat format)
{
    std::unique_ptr<Gdiplus::Bitmap> image(
        new Gdiplus::Bitmap(INT(pixels.width), INT(pixels.height), INT(pixels.width * 4), format,
                            reinterpret_cast<BYTE*>(pixels.pixels.data())));
    if (!image || image->GetLastStatus() != Gdiplus::Ok)  // the library's allocator can give null
        return nullptr;
    return image;
}

BITMAPINFO TopDownInfo32(int32_t width, int32_t height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
