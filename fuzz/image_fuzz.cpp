// Fuzzes the headless renderer's image decoding (PNG through libspng, JPEG through
// TurboJPEG, BMP and GIF through stb_image): a decoded image has the size its header gives
// and its pixels need, and stays within the pixel bound; a refused one says why. Headers claiming between 2^20 pixels and the bound are skipped to keep each
// input fast; those beyond the bound are still fed, since they must be refused unread.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spng.h>
#include <turbojpeg.h>

#include "scene/image_codecs.h"
#include "scene/image_files.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "image fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// The same file decoded in one call into RGBA bytes by the library itself: what our row by
// row decode and our conversion to ARGB words must give back. Empty when it refuses.
std::vector<unsigned char> LibraryRgba(ImageFormat format, const std::vector<unsigned char>& bytes,
                                       uint32_t width, uint32_t height)
{
    std::vector<unsigned char> rgba(size_t(width) * height * 4);
    if (format == ImageFormat::Png) {
        spng_ctx* ctx = spng_ctx_new(0);
        const bool ok =
            ctx && spng_set_png_buffer(ctx, bytes.data(), bytes.size()) == 0 &&
            spng_decode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
        spng_ctx_free(ctx);
        return ok ? rgba : std::vector<unsigned char>();
    }
    tjhandle handle = tjInitDecompress();
    const bool ok =
        handle &&
        (tjDecompress2(handle, bytes.data(), static_cast<unsigned long>(bytes.size()), rgba.data(),
                       int(width), 0, int(height), TJPF_RGBA, TJFLAG_LIMITSCANS) == 0 ||
         tjGetErrorCode(handle) == TJERR_WARNING);
    tjDestroy(handle);
    return ok ? rgba : std::vector<unsigned char>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    const std::vector<unsigned char> bytes(data, data + size);
    uint64_t width = 0, height = 0;
    const ImageFormat format = SniffImage(bytes.data(), bytes.size(), width, height);
    const uint64_t pixels = width * height;
    if (pixels > (uint64_t(1) << 20) && pixels <= kMaxImagePixels)
        return 0;
    PixelImage image;
    std::string failure;
    if (!DecodeImage(bytes, image, failure)) {
        Check(!failure.empty(), "a refused image without a reason");
        Check(image.pixels.empty(), "a refused image kept pixels");
        return 0;
    }
    Check(uint64_t(image.width) * image.height <= kMaxImagePixels, "an image beyond the bound");
    Check(image.pixels.size() == size_t(image.width) * image.height,
          "an image whose pixels do not match its size");
    Check(format != ImageFormat::Unknown, "an image decoded from bytes of no known format");
    // A PNG or JPEG decodes at the size its header gives (a GIF's first frame may be cut to
    // its screen, a BMP's header read in more than one way).
    if (format == ImageFormat::Png || format == ImageFormat::Jpeg)
        Check(image.width == width && image.height == height,
              "a decoded size other than the header's");
    if (format == ImageFormat::Png || format == ImageFormat::Jpeg) {
        const std::vector<unsigned char> expected =
            LibraryRgba(format, bytes, image.width, image.height);
        Check(!expected.empty(), "the library refuses in one call what it decoded row by row");
        std::vector<unsigned char> rgba(expected.size());
        ArgbToRgba(image.pixels.data(), image.pixels.size(), rgba.data());
        Check(rgba == expected, "pixels other than the library's own RGBA decode");
    }
    return 0;
}
