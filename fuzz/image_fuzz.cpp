// Fuzzes the headless renderer's image decoding (PNG, BMP, JPEG, GIF through stb_image):
// a decoded image has the size its pixels need and stays within the pixel bound; a refused
// one says why. Headers claiming between 2^20 pixels and the bound are skipped to keep each
// input fast; those beyond the bound are still fed, since they must be refused unread.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_image.h>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    const std::vector<unsigned char> bytes(data, data + size);
    int width = 0, height = 0, channels = 0;
    if (stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels)) {
        const uint64_t pixels = uint64_t(width < 0 ? -int64_t(width) : width) *
                                uint64_t(height < 0 ? -int64_t(height) : height);
        if (pixels > (uint64_t(1) << 20) && pixels <= kMaxImagePixels)
            return 0;
    }
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
    return 0;
}
