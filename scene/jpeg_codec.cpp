// JPEG in through TurboJPEG at its defaults (accurate integer DCT, fancy upsampling): the
// decoder the other tools on the machine use, so their pixels and ours agree.
#include "scene/image_codecs.h"
#include "scene/image_files.h"

#include <bit>
#include <climits>
#include <memory>

#include <turbojpeg.h>

namespace {

struct TjDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroy>;

// The header's size, or false with the library's reason.
bool ReadHeader(tjhandle handle, const unsigned char* data, size_t size, int& width, int& height,
                std::string& failure)
{
    if (size > ULONG_MAX) {  // 32 bits on Windows
        failure = "file too large";
        return false;
    }
    int subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0) {
        failure = tjGetErrorStr2(handle);
        return false;
    }
    return true;
}

}  // namespace

bool JpegHeaderSize(const unsigned char* data, size_t size, uint64_t& width, uint64_t& height)
{
    TjHandle handle(tjInitDecompress());
    int w = 0, h = 0;
    std::string failure;
    if (!handle || !ReadHeader(handle.get(), data, size, w, h, failure))
        return false;
    width = uint64_t(w);
    height = uint64_t(h);
    return true;
}

bool DecodeJpeg(const unsigned char* data, size_t size, PixelImage& image, std::string& failure)
{
    image = PixelImage{};
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        failure = "out of memory";
        return false;
    }
    int width = 0, height = 0;
    if (!ReadHeader(handle.get(), data, size, width, height, failure))
        return false;
    if (width <= 0 || height <= 0) {
        failure = "no pixels";
        return false;
    }
    if (uint64_t(width) * uint64_t(height) > kMaxImagePixels) {
        failure = TooManyPixelsReason();
        return false;
    }
    PixelImage decoded;
    if (!decoded.Allocate(uint32_t(width), uint32_t(height))) {
        failure = "out of memory";
        return false;
    }
    // The pixel format whose bytes in memory make ARGB words. A progressive file of more
    // scans than any encoder writes is refused rather than decoded scan after scan.
    const int format = std::endian::native == std::endian::little ? TJPF_BGRA : TJPF_ARGB;
    if (tjDecompress2(handle.get(), data, static_cast<unsigned long>(size),
                      reinterpret_cast<unsigned char*>(decoded.pixels.data()), width, 0, height,
                      format, TJFLAG_LIMITSCANS) != 0 &&
        tjGetErrorCode(handle.get()) != TJERR_WARNING) {
        // A warning (a file cut short, stray bytes in the scan) still gives the image, the
        // missing part grey, as libjpeg gives it to every program built on it.
        failure = tjGetErrorStr2(handle.get());
        return false;
    }
    image = std::move(decoded);
    return true;
}
